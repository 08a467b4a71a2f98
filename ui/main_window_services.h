#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <string>

#include "engine/jobs/conversion_job.h"
#include "engine/jobs/help_pages.h"
#include "engine/sources/source_factory.h"
#include "ui/desktop_request_watch.h"
#include "ui/option_services.h"

class QWidget;

namespace sonorell {

// Title of every message box of the program.
inline constexpr const char* kProgramTitle = "Sonorell";

// What the main window asks of the desktop and of the engine. The defaults are the real
// dialogs, message boxes and openers; tests replace them so nothing modal blocks a test and
// every text shown can be checked.
struct MainWindowServices {
  // A message box titled "Sonorell" with the given icon and an OK button.
  std::function<void(QWidget* owner, QMessageBox::Icon icon, const QString& text)> showMessage;
  // A Yes/No question titled "Sonorell"; true for Yes.
  std::function<bool(QWidget* owner, const QString& question)> askYesNo;
  // Opens a file, folder or address with the desktop's opener, and shows a file selected in
  // the desktop's file browser. Neither waits: answered hears later whether it worked.
  std::function<void(const std::string& pathOrAddress, DesktopAnswer answered)> openWithShell;
  std::function<void(const std::string& path, DesktopAnswer answered)> selectInFileBrowser;
  // The Add Files dialog: existing files, several at once; empty on Cancel.
  std::function<QStringList(QWidget* owner)> chooseFiles;
  // The Add Folder dialog opened on startFolder; empty on Cancel.
  std::function<QString(QWidget* owner, const QString& startFolder)> chooseFolder;
  // Makes the MIDI sound font beside the program (or the system's) the default one.
  std::function<bool(const std::string& programFolder)> loadDefaultSoundFont;

  // The Options sheet's folder browser and tag dialog (its message boxes and opener are the
  // ones above).
  OptionServices options;

  std::string programFolder;  // ends in "/"; help and sound font live there
  RunServices run;
  SourceFactoryHooks factory;

  // The worker helper that converts and probes for the window: the batch program beside
  // ours. Empty: everything runs one file after the other in this process (tests whose
  // encoders live in the test program).
  std::string workerHelper;
  // A conversion worker silent this long has hung; a probe taking this long has too.
  std::chrono::seconds conversionSilenceLimit{600};
  std::chrono::seconds probeSilenceLimit{60};
};

MainWindowServices DefaultMainWindowServices();

}  // namespace sonorell
