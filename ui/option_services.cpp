#include "ui/option_services.h"

#include <QFileDialog>

#include "ui/tag_edit_dialog.h"

namespace sonorell {
namespace {

void ShowMessage(QWidget* owner, QMessageBox::Icon icon, const QString& text) {
  QMessageBox box(icon, QStringLiteral("Sonorell"), text, QMessageBox::Ok, owner);
  box.exec();
}

}  // namespace

OptionServices DefaultOptionServices() {
  OptionServices s;
  s.showMessage = ShowMessage;
  s.openWithShell = [](const std::string&) {};
  s.chooseFolder = [](QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start);
  };
  s.editTags = [](QWidget* owner, TagDefaults& tags, bool showCopyright) {
    return RunTagEditDialog(owner, tags, showCopyright, ShowMessage);
  };
  s.wmaProfiles = [] { return WmaProfileList(); };
  return s;
}

}  // namespace sonorell
