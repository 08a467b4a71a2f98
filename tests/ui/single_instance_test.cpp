// One window per user: a second start hands its files to the open window over the local
// socket, a socket left by a crashed window is taken over, and relative names are made
// absolute before they travel.
#include <QFile>
#include <QLocalServer>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/single_instance.h"

namespace sonorell {
namespace {

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    runtime_ = std::make_unique<testing::TempFolder>();
    std::filesystem::permissions(runtime_->path(), std::filesystem::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime_->path()));
  }
  void cleanup() {
    qunsetenv("XDG_RUNTIME_DIR");
    runtime_.reset();
  }

  void aSecondStartHandsItsFilesToTheWindow() {
    QVERIFY(!SingleInstance::HandOver({"/nobody/listens.wav"}));
    std::vector<std::vector<std::string>> received;
    SingleInstance window;
    QVERIFY(window.Listen([&](std::vector<std::string> paths) { received.push_back(paths); }));
    const std::vector<std::string> files{"/music/Ärger & ünïcode.flac", "/music/folder",
                                         "/music/a b\nc.wav"};
    QVERIFY(SingleInstance::HandOver(files));
    QTRY_COMPARE(received.size(), size_t{1});
    QCOMPARE(received[0], files);
    // A start without files only brings the window to the front.
    QVERIFY(SingleInstance::HandOver({}));
    QTRY_COMPARE(received.size(), size_t{2});
    QVERIFY(received[1].empty());
    // A second window of the same user does not take the socket from the first.
    SingleInstance other;
    QVERIFY(!other.Listen([](std::vector<std::string>) {}));
  }

  void aSocketLeftByACrashedWindowIsTakenOver() {
    // A socket file nobody answers on, as a killed window leaves it.
    {
      QLocalServer dead;
      dead.setSocketOptions(QLocalServer::UserAccessOption);
      QVERIFY(dead.listen(SingleInstance::SocketName()));
      // QLocalServer removes its file when closed; put one back as a crash would leave it.
      dead.close();
      QFile stale(SingleInstance::SocketName());
      QVERIFY(stale.open(QIODevice::WriteOnly));
    }
    std::vector<std::string> received;
    SingleInstance window;
    QVERIFY(window.Listen([&](std::vector<std::string> paths) { received = paths; }));
    QVERIFY(SingleInstance::HandOver({"/x.wav"}));
    QTRY_COMPARE(received, std::vector<std::string>{"/x.wav"});
  }

  void relativeNamesBecomeAbsolute() {
    const std::string here = std::filesystem::current_path().string();
    QCOMPARE(PathArguments({"a.wav", "/b.wav", "", "sub/c.wav"}),
             (std::vector<std::string>{here + "/a.wav", "/b.wav", here + "/sub/c.wav"}));
  }

 private:
  std::unique_ptr<testing::TempFolder> runtime_;
};

SONORELL_UI_TEST(SingleInstanceTest);

}  // namespace
}  // namespace sonorell

#include "single_instance_test.moc"
