#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "settings/tag_defaults.h"
#include "ui/option_services.h"

namespace sonorell {

class TagEditState;

inline constexpr const char* kTagEditTitle = "Edit ID3 Tag";
inline constexpr const char* kEnterIntegerText = "Please enter an integer.";
// %1 and %2 are the lowest and highest custom track numbers.
inline constexpr const char* kEnterIntegerBetweenText =
    "Please enter an integer between %1 and %2.";
inline constexpr const char* kChoosePictureTitle = "Choose the Cover Picture";
inline constexpr const char* kSourcePicturePlaceholder = "the source's own picture, if any";
inline constexpr int kMinCustomTrack = 0;
inline constexpr int kMaxCustomTrack = 255;

// "Edit ID3 Tag": the default tag texts, track numbering and cover picture a format's Add
// mode writes.
// It works on its own copy; the caller takes Tags() back only when the dialog was accepted.
class TagEditDialog : public QDialog {
 public:
  TagEditDialog(const TagDefaults& tags, bool showCopyright, ShowMessageFn showMessage,
                QWidget* parent);

  // The edited values; complete after an accepted OK.
  const TagDefaults& Tags() const;

  // OK: reads every control; a custom track number that is no integer from 0 to 255 keeps
  // the dialog open with its message and the focus in that edit.
  void accept() override;

  // Asks for the picture file Choose... sets (an open-file dialog for images unless a test
  // puts its own here); an empty answer changes nothing.
  std::function<QString(QWidget* owner)> pickPicture;

 private:
  TagEditState* state_;  // the copy and the controls; a child of the dialog
};

// Shows the dialog modally on tags; on OK tags take the edited values and true is returned.
bool RunTagEditDialog(QWidget* owner, TagDefaults& tags, bool showCopyright,
                      const ShowMessageFn& showMessage);

}  // namespace sonorell
