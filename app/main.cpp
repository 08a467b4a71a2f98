#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <string>

#include "engine/jobs/decoding_libraries.h"
#include "ui/main_dlg.h"
#include "ui/main_window_services.h"

namespace {

constexpr const char* kStartFailureText = "Failed to initialize the software (0x0002020).";

// Releases the decoding library and its decoder families when the program ends, however
// the window was closed.
class DecodingLibrariesSession {
 public:
  DecodingLibrariesSession() = default;
  ~DecodingLibrariesSession() {
    if (started_) sonorell::StopDecodingLibraries();
  }
  DecodingLibrariesSession(const DecodingLibrariesSession&) = delete;
  DecodingLibrariesSession& operator=(const DecodingLibrariesSession&) = delete;

  bool Start() {
    std::string error;
    started_ = sonorell::StartDecodingLibraries(error);
    return started_;
  }

 private:
  bool started_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The name is also the title of any message raised outside a window.
  QApplication::setApplicationName(QString::fromUtf8(sonorell::kProgramTitle));
  QApplication::setApplicationVersion(QStringLiteral(SONORELL_VERSION));
  // File names and tag texts are the locale's text.
  std::setlocale(LC_ALL, "");

  // The decoding library runs on its no-sound device and loads every decoder family this
  // build has; a missing family only makes its formats fail when files are added.
  DecodingLibrariesSession libraries;
  if (!libraries.Start()) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(sonorell::kProgramTitle),
                    QString::fromUtf8(kStartFailureText), QMessageBox::Ok);
    box.exec();
    return 1;
  }
  // FFmpeg 5 registers its formats and codecs itself: nothing to do before the first file.

  sonorell::CMainDlg window;
  window.exec();
  return 0;
}
