#include "ui/tag_mode_controls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

namespace sonorell {

TagModeControls::TagModeControls(const std::array<const char*, 3>& radioTexts, const char* editText,
                                 QWidget* parent)
    : QGroupBox(QStringLiteral("ID3 tag"), parent),
      group_(new QButtonGroup(this)),
      edit_(new QPushButton(QString::fromUtf8(editText), this)),
      cover_(new QCheckBox(QStringLiteral("Carry the cover picture"), this)),
      replayGain_(new QCheckBox(QStringLiteral("Write ReplayGain tags"), this)) {
  setObjectName(QStringLiteral("tagMode"));
  edit_->setObjectName(QStringLiteral("editTag"));
  cover_->setObjectName(QStringLiteral("carryCover"));
  replayGain_->setObjectName(QStringLiteral("replayGain"));
  auto* layout = new QVBoxLayout(this);
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(QString::fromUtf8(radioTexts[static_cast<size_t>(i)]), this);
    radio->setObjectName(QStringLiteral("tagChoice%1").arg(i));
    group_->addButton(radio, i);
    layout->addWidget(radio);
    radios_[static_cast<size_t>(i)] = radio;
  }
  layout->addWidget(edit_, 0, Qt::AlignLeft);
  layout->addWidget(cover_);
  layout->addWidget(replayGain_);
  layout->addStretch(1);
  connect(cover_, &QCheckBox::toggled, this, [this](bool on) {
    if (extras_) extras_->CarryCover = on ? 1 : 0;
  });
  connect(replayGain_, &QCheckBox::toggled, this, [this](bool on) {
    if (extras_) extras_->ReplayGain = on ? 2 : 0;
  });
  connect(group_, &QButtonGroup::idClicked, this, [this](int id) {
    ApplyEnabling();
    if (onChoiceChanged) onChoiceChanged(id);
  });
  connect(edit_, &QPushButton::clicked, this, [this] {
    if (onEdit) onEdit();
  });
  SetChoice(2);
}

void TagModeControls::SetChoice(int choice) {
  const int shown = choice == 0 || choice == 1 ? choice : 2;
  radios_[static_cast<size_t>(shown)]->setChecked(true);
  if (extras_) {
    // Shown before they are bound again, so that showing writes nothing back.
    TagDefaults* bound = std::exchange(extras_, nullptr);
    cover_->setChecked(bound->CarryCover != 0);
    replayGain_->setChecked(bound->ReplayGain != 0);
    extras_ = bound;
  }
  ApplyEnabling();
}

void TagModeControls::BindExtras(TagDefaults& tags) {
  extras_ = &tags;
  SetChoice(Choice());
}

void TagModeControls::Bind(int& choice, TagDefaults& tags, const OptionServices& services,
                           QWidget* owner, std::function<void()> changed) {
  onChoiceChanged = [&choice, changed = std::move(changed)](int picked) {
    choice = picked;
    if (changed) changed();
  };
  onEdit = [&tags, &services, owner] {
    if (services.editTags) services.editTags(owner, tags, true);
  };
  BindExtras(tags);
  SetChoice(choice);
}

int TagModeControls::Choice() const {
  const int id = group_->checkedId();
  return id < 0 ? 2 : id;
}

void TagModeControls::ApplyEnabling() {
  edit_->setEnabled(Choice() == 0);
  cover_->setEnabled(Choice() != 2);
  replayGain_->setEnabled(Choice() != 2);
}

}  // namespace sonorell
