#include "ui/tag_edit_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "engine/encoders/tags/genre_names.h"
#include "ui/dialog_units.h"
#include "ui/spin_edit.h"

namespace sonorell {
namespace {

constexpr std::array<const char*, 3> kTrackRadioTexts = {"&None", "&Sequence number in list",
                                                         "C&ustom"};
constexpr int kCustomTrackChoice = 2;

QString Text(const std::string& bytes) {
  return QString::fromUtf8(bytes);
}
std::string Bytes(const QString& text) {
  return text.toUtf8().toStdString();
}

// The genre names in the order the drop-down shows them: alphabetical, case ignored.
QStringList SortedGenreNames() {
  QStringList names;
  names.reserve(static_cast<qsizetype>(GenreNames.size()));
  for (const std::string_view name : GenreNames) {
    names.append(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  return names;
}

}  // namespace

// The dialog's copy of the tag set and its controls. It lives as a child of the dialog so the
// dialog's interface stays free of widget details.
class TagEditState : public QObject {
 public:
  TagEditState(const TagDefaults& tags, ShowMessageFn showMessage, QDialog* dialog)
      : QObject(dialog), tags(tags), showMessage(std::move(showMessage)) {}

  TagDefaults tags;
  ShowMessageFn showMessage;
  QButtonGroup* trackGroup = nullptr;
  SpinEdit* customTrack = nullptr;
  QCheckBox* titleAsFileName = nullptr;
  QLineEdit* title = nullptr;
  QLineEdit* artist = nullptr;
  QLineEdit* album = nullptr;
  QLineEdit* year = nullptr;
  QComboBox* genre = nullptr;
  QLineEdit* comment = nullptr;
  QLineEdit* composer = nullptr;
  QLineEdit* copyright = nullptr;
  QLineEdit* picture = nullptr;
  bool showCopyright = true;

  int TrackChoice() const {
    const int id = trackGroup->checkedId();
    return id < 0 ? 0 : id;
  }

  void ApplyTitleEnabling(bool focus) {
    const bool editable = !titleAsFileName->isChecked();
    title->setEnabled(editable);
    if (focus && editable) title->setFocus();
  }

  void ApplyTrackEnabling(bool focus) {
    const bool custom = TrackChoice() == kCustomTrackChoice;
    customTrack->setEnabled(custom);
    if (focus && custom) customTrack->setFocus();
  }

  // Everything except the custom number, which only counts once it has been checked.
  void ReadTexts() {
    tags.TrackNumType = TrackChoice();
    tags.TitleAsFileName = titleAsFileName->isChecked() ? 1 : 0;
    tags.Title = Bytes(title->text());
    tags.Artist = Bytes(artist->text());
    tags.Album = Bytes(album->text());
    tags.Year = Bytes(year->text());
    tags.Genre = Bytes(genre->currentText());
    tags.Comment = Bytes(comment->text());
    tags.Composer = Bytes(composer->text());
    // A hidden copyright row leaves the stored notice as it was.
    if (showCopyright) tags.Copyright = Bytes(copyright->text());
    tags.CoverPicture = Bytes(picture->text());
  }

  // The message that refuses the typed custom number, if any.
  std::optional<QString> CustomTrackRefusal() const {
    const std::optional<int> number = customTrack->Value();
    if (!number) return QString::fromUtf8(kEnterIntegerText);
    if (*number < kMinCustomTrack || *number > kMaxCustomTrack) {
      return QString::fromUtf8(kEnterIntegerBetweenText).arg(kMinCustomTrack).arg(kMaxCustomTrack);
    }
    return std::nullopt;
  }
};

namespace {

QLineEdit* AddEditRow(QGridLayout& grid, int row, const char* labelText, const QString& name,
                      const std::string& value, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(labelText), parent);
  auto* edit = new QLineEdit(Text(value), parent);
  label->setObjectName(name + QStringLiteral("Label"));
  edit->setObjectName(name);
  label->setBuddy(edit);
  grid.addWidget(label, row, 0);
  grid.addWidget(edit, row, 1);
  return edit;
}

}  // namespace

TagEditDialog::TagEditDialog(const TagDefaults& tags, bool showCopyright, ShowMessageFn showMessage,
                             QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("tagEditDialog"));
  setWindowTitle(QString::fromUtf8(kTagEditTitle));
  state_ = new TagEditState(tags, std::move(showMessage), this);
  TagEditState* state = state_;
  state->showCopyright = showCopyright;

  auto* grid = new QGridLayout;
  int row = 0;

  // Track numbering: the three choices side by side, the custom number after the third.
  auto* trackLabel = new QLabel(QStringLiteral("&Track #:"), this);
  trackLabel->setObjectName(QStringLiteral("trackLabel"));
  state->trackGroup = new QButtonGroup(this);
  auto* trackRow = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    auto* radio =
        new QRadioButton(QString::fromUtf8(kTrackRadioTexts[static_cast<size_t>(i)]), this);
    radio->setObjectName(QStringLiteral("trackType%1").arg(i));
    state->trackGroup->addButton(radio, i);
    trackRow->addWidget(radio);
  }
  state->customTrack = new SpinEdit(kMinCustomTrack, kMaxCustomTrack, 1, this);
  state->customTrack->setObjectName(QStringLiteral("customTrack"));
  state->customTrack->setMinimumWidth(DialogUnitsToPixels(*this, 36, 0).width());
  trackRow->addWidget(state->customTrack);
  trackRow->addStretch(1);
  trackLabel->setBuddy(state->trackGroup->button(0));
  grid->addWidget(trackLabel, row, 0);
  grid->addLayout(trackRow, row, 1);
  ++row;

  state->titleAsFileName =
      new QCheckBox(QStringLiteral("Nam&e as file name (not include extension)"), this);
  state->titleAsFileName->setObjectName(QStringLiteral("titleAsFileName"));
  grid->addWidget(state->titleAsFileName, row++, 1);

  state->title = AddEditRow(*grid, row++, "T&itle:", QStringLiteral("title"), tags.Title, this);
  state->artist = AddEditRow(*grid, row++, "&Artist:", QStringLiteral("artist"), tags.Artist, this);
  state->album = AddEditRow(*grid, row++, "Albu&m:", QStringLiteral("album"), tags.Album, this);
  state->year = AddEditRow(*grid, row++, "&Year:", QStringLiteral("year"), tags.Year, this);

  auto* genreLabel = new QLabel(QStringLiteral("&Genre:"), this);
  genreLabel->setObjectName(QStringLiteral("genreLabel"));
  state->genre = new QComboBox(this);
  state->genre->setObjectName(QStringLiteral("genre"));
  state->genre->setEditable(true);
  // Typed text stays as typed: no completion to a listed name, no new list rows.
  state->genre->setCompleter(nullptr);
  state->genre->setInsertPolicy(QComboBox::NoInsert);
  state->genre->addItems(SortedGenreNames());
  state->genre->setMaxVisibleItems(20);
  const QString storedGenre = Text(tags.Genre);
  state->genre->setCurrentIndex(state->genre->findText(storedGenre, Qt::MatchExactly));
  state->genre->setEditText(storedGenre);
  genreLabel->setBuddy(state->genre);
  grid->addWidget(genreLabel, row, 0);
  grid->addWidget(state->genre, row++, 1);

  state->comment =
      AddEditRow(*grid, row++, "&Comment:", QStringLiteral("comment"), tags.Comment, this);
  state->composer =
      AddEditRow(*grid, row++, "C&omposer:", QStringLiteral("composer"), tags.Composer, this);
  state->copyright =
      AddEditRow(*grid, row++, "Co&pyright:", QStringLiteral("copyright"), tags.Copyright, this);
  if (!showCopyright) {
    state->copyright->setVisible(false);
    findChild<QLabel*>(QStringLiteral("copyrightLabel"))->setVisible(false);
  }
  // The picture: a file chosen here, or (empty) the source's own when the page carries it.
  state->picture =
      AddEditRow(*grid, row, "&Picture:", QStringLiteral("picture"), tags.CoverPicture, this);
  state->picture->setReadOnly(true);
  state->picture->setPlaceholderText(QString::fromUtf8(kSourcePicturePlaceholder));
  auto* pictureRow = new QHBoxLayout;
  grid->removeWidget(state->picture);
  pictureRow->addWidget(state->picture, 1);
  auto* choose = new QPushButton(QStringLiteral("C&hoose..."), this);
  auto* clear = new QPushButton(QStringLiteral("C&lear"), this);
  choose->setObjectName(QStringLiteral("choosePicture"));
  clear->setObjectName(QStringLiteral("clearPicture"));
  pictureRow->addWidget(choose);
  pictureRow->addWidget(clear);
  grid->addLayout(pictureRow, row++, 1);
  pickPicture = [](QWidget* owner) {
    return QFileDialog::getOpenFileName(owner, QString::fromUtf8(kChoosePictureTitle), QString(),
                                        QStringLiteral("Pictures (*.jpg *.jpeg *.png)"));
  };
  connect(choose, &QPushButton::clicked, this, [this, state] {
    const QString chosen = pickPicture ? pickPicture(this) : QString();
    if (!chosen.isEmpty()) state->picture->setText(chosen);
  });
  connect(clear, &QPushButton::clicked, state->picture, &QLineEdit::clear);
  grid->setColumnMinimumWidth(1, DialogUnitsToPixels(*this, 200, 0).width());
  grid->setColumnStretch(1, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  ok->setObjectName(QStringLiteral("ok"));
  cancel->setObjectName(QStringLiteral("cancel"));
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &TagEditDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TagEditDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addStretch(1);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetMinimumSize);

  // Opening state.
  const int trackType = tags.TrackNumType == 1 || tags.TrackNumType == 2 ? tags.TrackNumType : 0;
  state->trackGroup->button(trackType)->setChecked(true);
  state->customTrack->SetValue(tags.CustomTrackNum);
  state->titleAsFileName->setChecked(tags.TitleAsFileName != 0);
  state->ApplyTitleEnabling(false);
  state->ApplyTrackEnabling(false);

  connect(state->titleAsFileName, &QCheckBox::clicked, this, [state] {
    state->ReadTexts();
    state->ApplyTitleEnabling(true);
  });
  connect(state->trackGroup, &QButtonGroup::idClicked, this, [state] {
    state->ReadTexts();
    state->ApplyTrackEnabling(true);
  });
}

const TagDefaults& TagEditDialog::Tags() const {
  return state_->tags;
}

void TagEditDialog::accept() {
  TagEditState& state = *state_;
  state.ReadTexts();
  if (const std::optional<QString> refusal = state.CustomTrackRefusal()) {
    if (state.showMessage) state.showMessage(this, QMessageBox::Warning, *refusal);
    state.customTrack->setFocus();
    return;
  }
  state.tags.CustomTrackNum = *state.customTrack->Value();
  QDialog::accept();
}

bool RunTagEditDialog(QWidget* owner, TagDefaults& tags, bool showCopyright,
                      const ShowMessageFn& showMessage) {
  TagEditDialog dialog(tags, showCopyright, showMessage, owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  tags = dialog.Tags();
  return true;
}

}  // namespace sonorell
