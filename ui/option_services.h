#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <string>

#include "engine/encoders/wma/wma_profile_list.h"
#include "settings/tag_defaults.h"

class QWidget;

namespace sonorell {

// A message box titled "Sonorell" with the given icon and an OK button.
using ShowMessageFn = std::function<void(QWidget* owner, QMessageBox::Icon, const QString& text)>;

// What the option sheet and its pages ask of the desktop and of the program. The defaults
// are the real dialogs; tests replace them so nothing modal blocks a test.
struct OptionServices {
  ShowMessageFn showMessage;
  // Opens a folder or an address with the desktop's opener.
  std::function<void(const std::string& pathOrAddress)> openWithShell;
  // The folder browser with the given title, pre-selected on startFolder; empty on Cancel.
  std::function<QString(QWidget* owner, const QString& title, const QString& startFolder)>
      chooseFolder;
  // The "Edit ID3 Tag" dialog on tags; true (and tags changed) on OK.
  std::function<bool(QWidget* owner, TagDefaults& tags, bool showCopyright)> editTags;
  // The WMA encodings to offer; asked once, when the WMA page first opens (the Windows
  // Media runtime is checked for there).
  std::function<WmaProfileList()> wmaProfiles;
};

// The real dialogs and message boxes; no WMA encodings until the caller supplies them.
OptionServices DefaultOptionServices();

}  // namespace sonorell
