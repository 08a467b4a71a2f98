#include "ui/tag_mode_controls.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

namespace sonorell {

TagModeControls::TagModeControls(const std::array<const char*, 3>& radioTexts, const char* editText,
                                 QWidget* parent)
    : QGroupBox(QStringLiteral("ID3 tag"), parent),
      group_(new QButtonGroup(this)),
      edit_(new QPushButton(QString::fromUtf8(editText), this)) {
  setObjectName(QStringLiteral("tagMode"));
  edit_->setObjectName(QStringLiteral("editTag"));
  auto* layout = new QVBoxLayout(this);
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(QString::fromUtf8(radioTexts[static_cast<size_t>(i)]), this);
    radio->setObjectName(QStringLiteral("tagChoice%1").arg(i));
    group_->addButton(radio, i);
    layout->addWidget(radio);
    radios_[static_cast<size_t>(i)] = radio;
  }
  layout->addWidget(edit_, 0, Qt::AlignLeft);
  layout->addStretch(1);
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
  ApplyEnabling();
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
  SetChoice(choice);
}

int TagModeControls::Choice() const {
  const int id = group_->checkedId();
  return id < 0 ? 2 : id;
}

void TagModeControls::ApplyEnabling() {
  edit_->setEnabled(Choice() == 0);
}

}  // namespace sonorell
