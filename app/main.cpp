#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/jobs/decoding_libraries.h"
#include "ui/main_dlg.h"
#include "ui/main_window_services.h"
#include "ui/single_instance.h"

namespace {

constexpr const char* kStartFailureText = "Failed to initialize the software (0x0002020).";
// The desktop entry's name without ".desktop": the desktop shows its icon for the window.
constexpr const char* kDesktopFileName = "org.sonorell.Sonorell";

constexpr const char* kUsage =
    "usage: sonorell [FILE|FOLDER]...\n"
    "  Starts the Sonorell window with the named files, and the audio files of the named\n"
    "  folders, in its list. When a Sonorell window is already open, the files are added to\n"
    "  that window instead.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the program's version\n"
    "\n"
    "The batch command sonorell-cli converts from the command line; see sonorell-cli --help.\n";

// What the command line asks for besides the files; decided before the window system
// starts, so that --help and --version work without a display.
enum class Request { kWindow, kHelp, kVersion, kUnknownOption };

Request ParseArguments(int argc, char** argv, std::vector<std::string>& files,
                       std::string& unknown) {
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (!optionsEnd && a == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && (a == "--help" || a == "-h")) {
      return Request::kHelp;
    } else if (!optionsEnd && a == "--version") {
      return Request::kVersion;
    } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
      unknown = a;
      return Request::kUnknownOption;
    } else {
      files.push_back(a);
    }
  }
  return Request::kWindow;
}

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
  std::vector<std::string> arguments;
  std::string unknown;
  switch (ParseArguments(argc, argv, arguments, unknown)) {
    case Request::kHelp:
      std::fputs(kUsage, stdout);
      return 0;
    case Request::kVersion:
      std::printf("sonorell %s\n", SONORELL_VERSION);
      return 0;
    case Request::kUnknownOption:
      std::fprintf(stderr, "sonorell: unknown option \"%s\"\n%s", unknown.c_str(), kUsage);
      return 2;
    case Request::kWindow:
      break;
  }
  const std::vector<std::string> files = sonorell::PathArguments(arguments);

  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QString::fromUtf8(kDesktopFileName));
  // The installed icon, for window managers that take it from the window.
  QApplication::setWindowIcon(QIcon::fromTheme(QString::fromUtf8(kDesktopFileName)));
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

  // A window is open already: it takes the files (or just comes to the front), and this
  // start ends. One window per user.
  if (sonorell::SingleInstance::HandOver(files)) return 0;

  sonorell::CMainDlg window;
  sonorell::SingleInstance instance;
  instance.Listen([&window](std::vector<std::string> handed) {
    if (!handed.empty()) window.AddDroppedItems(handed);
    window.raise();
    window.activateWindow();
  });
  // The named files come in as a drop on the window does, once it shows.
  if (!files.empty())
    QTimer::singleShot(0, &window, [&window, &files] { window.AddDroppedItems(files); });
  window.exec();
  return 0;
}
