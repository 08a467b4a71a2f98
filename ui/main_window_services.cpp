#include "ui/main_window_services.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <utility>

#include "engine/jobs/file_intake.h"
#include "engine/sources/bass/default_sound_font.h"
#include "engine/workers/helper_service.h"
#include "platform/desktop/program_folder.h"

namespace sonorell {
namespace {

QStringList ChooseFiles(QWidget* owner) {
  QStringList filters;
  for (const char* label : AddFilesFilterLabels()) filters << QString::fromUtf8(label);
  QString selected = filters.value(0);
  return QFileDialog::getOpenFileNames(owner, QString(), QString(), filters.join(";;"), &selected);
}

QString ChooseFolder(QWidget* owner, const QString& startFolder) {
  return QFileDialog::getExistingDirectory(owner, QString::fromUtf8(kChooseFolderTitle),
                                           startFolder);
}

void ShowMessage(QWidget* owner, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, QString::fromUtf8(kProgramTitle), text, QMessageBox::Ok, owner);
  box.exec();
}

bool AskYesNo(QWidget* owner, const QString& question) {
  return QMessageBox::question(owner, QString::fromUtf8(kProgramTitle), question,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

MainWindowServices DefaultMainWindowServices() {
  MainWindowServices s;
  s.showMessage = ShowMessage;
  s.askYesNo = AskYesNo;
  // The opener gets the path as its own argument: no shell ever parses a file name. The
  // helpers are watched for the life of the application, whichever window asked.
  s.openWithShell = [](const std::string& path, DesktopAnswer answered) {
    WatchDesktopRequest(platform::DesktopRequest::Open(path), QCoreApplication::instance(),
                        std::move(answered));
  };
  s.selectInFileBrowser = [](const std::string& path, DesktopAnswer answered) {
    WatchDesktopRequest(platform::DesktopRequest::ShowInFileBrowser(path),
                        QCoreApplication::instance(), std::move(answered));
  };
  s.chooseFiles = ChooseFiles;
  s.chooseFolder = ChooseFolder;
  s.loadDefaultSoundFont = LoadDefaultSoundFont;
  s.options = DefaultOptionServices();
  s.programFolder = platform::ShippedFilesFolder();
  s.run = DefaultRunServices();
  s.workerHelper = platform::ProgramFolder() + kWorkerHelperProgram;
  return s;
}

}  // namespace sonorell
