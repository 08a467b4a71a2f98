#pragma once

#include <QString>
#include <string>

#include "settings/files_at_once.h"
#include "ui/opt_page.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sonorell {

class SpinEdit;

inline constexpr const char* kGeneralTitle = "General";
inline constexpr const char* kChooseOutputFolderTitle = "Please choose an output folder:";
inline constexpr const char* kChooseOutputFolderText = "Please choose an output folder.";
inline constexpr const char* kEnterFilterExtsText =
    "Please enter file extensions you need to filter.";
inline constexpr const char* kKeepDamagedText =
    "&Keep what can be decoded of a damaged source (the output is marked partial)";
inline constexpr const char* kSplitLongFilesText =
    "&Split a long file across the cores that fewer files leave free";
inline constexpr const char* kInvalidFilesAtOnceText =
    "Invalid number of files converted at once. It's between 1 and 64.";

// The extension list as typed, without blanks and tabs, with semicolons as commas.
std::string CleanExtensionList(const std::string& typed);

// The "General" page: where outputs go, what happens to existing targets, how stereo
// becomes mono, how many files are converted at once, and which extensions Add Folder and
// drops take.
class COptOutputPage : public COptPage {
 public:
  COptOutputPage(const Settings& settings, const OptionServices& services, QWidget* parent);

  QString Title() const override { return QString::fromUtf8(kGeneralTitle); }
  std::optional<PageRefusal> LeavePage() override;
  void StoreInto(Settings& settings) const override;

  // The handlers of the page's buttons.
  void Browse();
  void OpenFolder();
  void ExplainMono();

 private:
  // The page's copies of its settings.
  struct Fields {
    int folderMode = kOutputToSourceFolder;
    std::string folder;
    bool mirror = false;
    int targetExists = kTargetExistsRename;
    bool documentsFallback = true;
    bool browseOutput = true;
    int monoType = 0;
    int filesAtOnce = kMinFilesAtOnce;
    bool keepDamaged = false;
    bool splitLongFiles = true;
    bool filterOn = false;
    std::string filterExts;
  };

  void ReadControls();
  void ApplyFolderModeEnabling();

  Fields fields_;
  QComboBox* folderMode_;
  QLabel* folderLabel_;
  QLineEdit* folder_;
  QPushButton* browse_;
  QPushButton* open_;
  QCheckBox* mirror_;
  QLabel* example_;
  QComboBox* targetExists_;
  QCheckBox* documentsFallback_;
  QCheckBox* browseOutput_;
  QButtonGroup* mono_;
  SpinEdit* filesAtOnce_;
  QCheckBox* keepDamaged_;
  QCheckBox* splitLongFiles_;
  QCheckBox* filterOn_;
  QLineEdit* filterExts_;
};

}  // namespace sonorell
