#include "ui/opt_output_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>
#include <filesystem>

#include "ui/qt_paths.h"
#include "ui/spin_edit.h"

namespace sonorell {
namespace {

struct CodedItem {
  const char* text;
  int code;
};
constexpr std::array<CodedItem, 2> kFolderModes{
    {{"Same as original file", kOutputToSourceFolder}, {"A custom folder", kOutputToCustomFolder}}};
constexpr std::array<CodedItem, 3> kTargetPolicies{
    {{"Auto rename (add number at end of file name)", kTargetExistsRename},
     {"Overwrite", kTargetExistsOverwrite},
     {"Skip (not convert)", kTargetExistsSkip}}};
constexpr std::array<const char*, 3> kMonoTexts{"(L+R) / &2", "&L channel", "&R channel"};

constexpr const char* kExampleText =
    "For example: original file is \"C:\\Music\\pop\\1.mp3\" and output folder is "
    "\"D:\\Output.\" If the option is checked, the output folder will be "
    "\"D:\\Output\\C\\Music\\pop.\"";
constexpr const char* kMonoExplanation =
    "When converting to audio format, e.g. MP3, WAV, WMA, etc., if output channel is mono and "
    "original file is stereo, output sound equals to:";
constexpr const char* kMonoHelpText =
    "In general, the output sound equals to \"(L+R)/2,\" which contains left and right "
    "channels.\n\n\"L channel\" means the program outputs left channel of original stereo "
    "file. And \"R channel\" means right channel. It's very useful when you want to convert a "
    "stereo file into two files that contains left and right channels distinguishingly.";
constexpr const char* kFolderMissingText =
    "The folder \"%1\" doesn't exist yet.\n\nNote: the program will create the folder "
    "automatically when converting files.";

template <size_t N>
void FillCoded(QComboBox& combo, const std::array<CodedItem, N>& items) {
  for (const CodedItem& item : items) combo.addItem(QString::fromUtf8(item.text), item.code);
}

// Selects the item with the code; none matching selects the first, and the code becomes
// the first item's.
template <size_t N>
void SelectCoded(QComboBox& combo, const std::array<CodedItem, N>& items, int& code) {
  const int index = combo.findData(code);
  combo.setCurrentIndex(index >= 0 ? index : 0);
  if (index < 0) code = items.front().code;
}

QString FromBytes(const std::string& s) {
  return QString::fromUtf8(s);
}
std::string ToBytes(const QString& s) {
  return s.toUtf8().toStdString();
}

std::string WithoutFinalSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::string CleanExtensionList(const std::string& typed) {
  std::string clean;
  clean.reserve(typed.size());
  for (const char c : typed) {
    if (c == ' ' || c == '\t') continue;
    clean += c == ';' ? ',' : c;
  }
  return clean;
}

COptOutputPage::COptOutputPage(const Settings& s, const OptionServices& services, QWidget* parent)
    : COptPage(services, parent),
      folderMode_(new QComboBox(this)),
      folderLabel_(new QLabel(QStringLiteral("Custom &folder:"), this)),
      folder_(new QLineEdit(this)),
      browse_(new QPushButton(QStringLiteral("Bro&wse"), this)),
      open_(new QPushButton(QStringLiteral("O&pen"), this)),
      mirror_(new QCheckBox(QStringLiteral("&Create folders according to path of original file"),
                            this)),
      example_(new QLabel(QString::fromUtf8(kExampleText), this)),
      targetExists_(new QComboBox(this)),
      documentsFallback_(new QCheckBox(
          QStringLiteral("Output files to M&y Documents if creating file failure"), this)),
      browseOutput_(
          new QCheckBox(QStringLiteral("&Browse output folder when conversion completes"), this)),
      mono_(new QButtonGroup(this)),
      filesAtOnce_(new SpinEdit(kMinFilesAtOnce, kMaxFilesAtOnce, 1, this)),
      keepDamaged_(new QCheckBox(QString::fromUtf8(kKeepDamagedText), this)),
      splitLongFiles_(new QCheckBox(QString::fromUtf8(kSplitLongFilesText), this)),
      filterOn_(new QCheckBox(QStringLiteral("O&nly add the following file extensions for "
                                             "\"Add Folder\" and Drag/Drop"),
                              this)),
      filterExts_(new QLineEdit(this)) {
  setObjectName(QStringLiteral("generalPage"));
  fields_.folderMode = s.DestOutputFolderOpt;
  fields_.folder = s.DestSpecifiedFolder;
  fields_.mirror = s.CreateDirs != 0;
  fields_.targetExists = s.TargetExistsOpt;
  fields_.documentsFallback = s.OutputFiles2MyDocuments != 0;
  fields_.browseOutput = s.BrowseOutputFolder != 0;
  fields_.monoType = s.MonoType;
  // An unset or out-of-range count shows as the number that would be used.
  fields_.filesAtOnce = EffectiveFilesAtOnce(s);
  fields_.keepDamaged = s.KeepDamaged != 0;
  fields_.splitLongFiles = s.SplitLongFiles != 0;
  fields_.filterOn = s.EnableExtFilter != 0;
  fields_.filterExts = s.FilterExts;

  folderMode_->setObjectName(QStringLiteral("folderMode"));
  folder_->setObjectName(QStringLiteral("customFolder"));
  browse_->setObjectName(QStringLiteral("browse"));
  open_->setObjectName(QStringLiteral("open"));
  mirror_->setObjectName(QStringLiteral("mirror"));
  example_->setObjectName(QStringLiteral("example"));
  targetExists_->setObjectName(QStringLiteral("targetExists"));
  documentsFallback_->setObjectName(QStringLiteral("documentsFallback"));
  browseOutput_->setObjectName(QStringLiteral("browseOutput"));
  filesAtOnce_->setObjectName(QStringLiteral("filesAtOnce"));
  keepDamaged_->setObjectName(QStringLiteral("keepDamaged"));
  splitLongFiles_->setObjectName(QStringLiteral("splitLongFiles"));
  filterOn_->setObjectName(QStringLiteral("filterOn"));
  filterExts_->setObjectName(QStringLiteral("filterExts"));
  example_->setWordWrap(true);

  // Output
  auto* output = new QGroupBox(QStringLiteral("Output"), this);
  auto* outGrid = new QGridLayout(output);
  auto* modeLabel = new QLabel(QStringLiteral("&Output folder:"), output);
  modeLabel->setBuddy(folderMode_);
  folderLabel_->setBuddy(folder_);
  outGrid->addWidget(modeLabel, 0, 0);
  outGrid->addWidget(folderMode_, 0, 1, 1, 3);
  outGrid->addWidget(folderLabel_, 1, 0);
  outGrid->addWidget(folder_, 1, 1);
  outGrid->addWidget(browse_, 1, 2);
  outGrid->addWidget(open_, 1, 3);
  outGrid->addWidget(mirror_, 2, 0, 1, 4);
  outGrid->addWidget(example_, 3, 0, 1, 4);
  auto* existsLabel = new QLabel(QStringLiteral("If target file &exists "), output);
  existsLabel->setBuddy(targetExists_);
  outGrid->addWidget(existsLabel, 4, 0);
  outGrid->addWidget(targetExists_, 4, 1, 1, 3);
  outGrid->addWidget(documentsFallback_, 5, 0, 1, 4);
  outGrid->addWidget(browseOutput_, 6, 0, 1, 4);
  outGrid->setColumnStretch(1, 1);

  // General: how a stereo source becomes a mono output.
  auto* general = new QGroupBox(QStringLiteral("General"), this);
  auto* genGrid = new QGridLayout(general);
  auto* explanation = new QLabel(QString::fromUtf8(kMonoExplanation), general);
  explanation->setObjectName(QStringLiteral("monoExplanation"));
  explanation->setWordWrap(true);
  auto* help = new QPushButton(QStringLiteral("?"), general);
  help->setObjectName(QStringLiteral("monoHelp"));
  genGrid->addWidget(explanation, 0, 0);
  genGrid->addWidget(help, 0, 1, Qt::AlignTop);
  auto* radios = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(QString::fromUtf8(kMonoTexts[static_cast<size_t>(i)]), general);
    radio->setObjectName(QStringLiteral("mono%1").arg(i));
    mono_->addButton(radio, i);
    radios->addWidget(radio);
  }
  radios->addStretch(1);
  genGrid->addLayout(radios, 1, 0, 1, 2);
  auto* atOnce = new QHBoxLayout;
  auto* atOnceLabel = new QLabel(QStringLiteral("Files converted &at once:"), general);
  atOnceLabel->setObjectName(QStringLiteral("filesAtOnceLabel"));
  atOnceLabel->setBuddy(filesAtOnce_);
  filesAtOnce_->setMinimumWidth(
      filesAtOnce_->fontMetrics().horizontalAdvance(QStringLiteral("640")) + 30);
  atOnce->addWidget(atOnceLabel);
  atOnce->addWidget(filesAtOnce_);
  atOnce->addStretch(1);
  genGrid->addLayout(atOnce, 2, 0, 1, 2);
  genGrid->addWidget(splitLongFiles_, 3, 0, 1, 2);
  genGrid->addWidget(keepDamaged_, 4, 0, 1, 2);
  genGrid->setColumnStretch(0, 1);

  // Extension filter of Add Folder and drops.
  auto* filter = new QWidget(this);
  auto* filterLayout = new QVBoxLayout(filter);
  filterLayout->setContentsMargins(0, 0, 0, 0);
  auto* note = new QLabel(QStringLiteral("Note: use comma (,) to separate multiple extensions. "
                                         "For example: wav,mp3,m4a,aac"),
                          filter);
  note->setObjectName(QStringLiteral("filterNote"));
  note->setWordWrap(true);
  filterLayout->addWidget(filterOn_);
  filterLayout->addWidget(filterExts_);
  filterLayout->addWidget(note);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(output);
  layout->addWidget(general);
  layout->addWidget(filter);
  layout->addStretch(1);

  // The controls show the copies.
  FillCoded(*folderMode_, kFolderModes);
  SelectCoded(*folderMode_, kFolderModes, fields_.folderMode);
  FillCoded(*targetExists_, kTargetPolicies);
  SelectCoded(*targetExists_, kTargetPolicies, fields_.targetExists);
  folder_->setText(PathToQt(fields_.folder));
  mirror_->setChecked(fields_.mirror);
  documentsFallback_->setChecked(fields_.documentsFallback);
  browseOutput_->setChecked(fields_.browseOutput);
  if (QAbstractButton* radio = mono_->button(fields_.monoType)) radio->setChecked(true);
  filesAtOnce_->SetValue(fields_.filesAtOnce);
  keepDamaged_->setChecked(fields_.keepDamaged);
  splitLongFiles_->setChecked(fields_.splitLongFiles);
  filterOn_->setChecked(fields_.filterOn);
  filterExts_->setText(FromBytes(fields_.filterExts));
  filterExts_->setEnabled(fields_.filterOn);
  ApplyFolderModeEnabling();

  connect(folderMode_, &QComboBox::currentIndexChanged, this,
          [this] { ApplyFolderModeEnabling(); });
  connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
  connect(open_, &QPushButton::clicked, this, [this] { OpenFolder(); });
  connect(help, &QPushButton::clicked, this, [this] { ExplainMono(); });
  connect(filterOn_, &QCheckBox::clicked, this, [this] {
    ReadControls();
    filterExts_->setEnabled(fields_.filterOn);
    if (fields_.filterOn) filterExts_->setFocus();
  });
}

void COptOutputPage::ApplyFolderModeEnabling() {
  const bool custom = folderMode_->currentData().toInt() == kOutputToCustomFolder;
  for (QWidget* w : {static_cast<QWidget*>(folderLabel_), static_cast<QWidget*>(folder_),
                     static_cast<QWidget*>(browse_), static_cast<QWidget*>(open_),
                     static_cast<QWidget*>(mirror_), static_cast<QWidget*>(example_)}) {
    w->setEnabled(custom);
  }
}

void COptOutputPage::ReadControls() {
  fields_.folderMode = folderMode_->currentData().toInt();
  fields_.folder = PathFromQt(folder_->text());
  fields_.mirror = mirror_->isChecked();
  fields_.targetExists = targetExists_->currentData().toInt();
  fields_.documentsFallback = documentsFallback_->isChecked();
  fields_.browseOutput = browseOutput_->isChecked();
  if (mono_->checkedId() >= 0) fields_.monoType = mono_->checkedId();
  if (const std::optional<int> typed = filesAtOnce_->Value()) fields_.filesAtOnce = *typed;
  fields_.keepDamaged = keepDamaged_->isChecked();
  fields_.splitLongFiles = splitLongFiles_->isChecked();
  fields_.filterOn = filterOn_->isChecked();
  fields_.filterExts = ToBytes(filterExts_->text());
}

void COptOutputPage::Browse() {
  ReadControls();
  const QString chosen = Services().chooseFolder(this, QString::fromUtf8(kChooseOutputFolderTitle),
                                                 PathToQt(WithoutFinalSlash(fields_.folder)));
  if (chosen.isEmpty()) return;
  std::string folder = PathFromQt(chosen);
  if (folder.back() != '/') folder += '/';
  fields_.folder = folder;
  folder_->setText(PathToQt(folder));
}

void COptOutputPage::OpenFolder() {
  ReadControls();
  std::error_code ec;
  if (!fields_.folder.empty() && std::filesystem::is_directory(fields_.folder, ec)) {
    Services().openWithShell(fields_.folder);
    return;
  }
  Services().showMessage(this, QMessageBox::Warning,
                         QString::fromUtf8(kFolderMissingText).arg(PathToQt(fields_.folder)));
}

void COptOutputPage::ExplainMono() {
  Services().showMessage(this, QMessageBox::Information, QString::fromUtf8(kMonoHelpText));
}

std::optional<PageRefusal> COptOutputPage::LeavePage() {
  ReadControls();
  if (fields_.folderMode == kOutputToCustomFolder && fields_.folder.empty()) {
    return PageRefusal{QString::fromUtf8(kChooseOutputFolderText), folder_};
  }
  const std::optional<int> filesAtOnce = filesAtOnce_->Value();
  if (!filesAtOnce || !ValidFilesAtOnce(*filesAtOnce)) {
    return PageRefusal{QString::fromUtf8(kInvalidFilesAtOnceText), filesAtOnce_};
  }
  fields_.filterExts = CleanExtensionList(fields_.filterExts);
  filterExts_->setText(FromBytes(fields_.filterExts));
  if (fields_.filterOn && fields_.filterExts.empty()) {
    return PageRefusal{QString::fromUtf8(kEnterFilterExtsText), filterExts_};
  }
  return std::nullopt;
}

void COptOutputPage::StoreInto(Settings& s) const {
  s.DestOutputFolderOpt = fields_.folderMode;
  s.DestSpecifiedFolder = fields_.folder;
  s.CreateDirs = fields_.mirror ? 1 : 0;
  s.TargetExistsOpt = fields_.targetExists;
  s.OutputFiles2MyDocuments = fields_.documentsFallback ? 1 : 0;
  s.BrowseOutputFolder = fields_.browseOutput ? 1 : 0;
  s.MonoType = fields_.monoType;
  s.FilesAtOnce = fields_.filesAtOnce;
  s.KeepDamaged = fields_.keepDamaged ? 1 : 0;
  s.SplitLongFiles = fields_.splitLongFiles ? 1 : 0;
  s.EnableExtFilter = fields_.filterOn ? 1 : 0;
  s.FilterExts = fields_.filterExts;
}

}  // namespace sonorell
