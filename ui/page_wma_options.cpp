#include "ui/page_wma_options.h"

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/gain_controls.h"
#include "ui/spin_edit.h"
#include "ui/tag_mode_controls.h"

namespace sonorell {
namespace {

QString Text(const char* text) {
  return QString::fromUtf8(text);
}

}  // namespace

CPageWMAOptions::CPageWMAOptions(const Settings& settings, const OptionServices& services,
                                 QWidget* parent)
    : COptPage(services, parent), settings_(settings) {
  setObjectName(QStringLiteral("wmaPage"));
  auto* page = new QVBoxLayout(this);

  encoding_ = new QComboBox(this);
  encoding_->setObjectName(QStringLiteral("encodingOptions"));
  encoding_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  auto* label = new QLabel(Text(opt_wma_page::kEncodingLabel), this);
  label->setObjectName(QStringLiteral("encodingOptionsLabel"));
  label->setBuddy(encoding_);
  page->addWidget(label);
  page->addWidget(encoding_);

  gain_ = new GainControls(this);
  tagControls_ = new TagModeControls(opt_wma_page::kTagTexts, opt_wma_page::kEditTagText, this);
  page->addLayout(GainRow(gain_, tagControls_));
  page->addStretch(1);

  // Only user actions (activated, the tag callbacks) feed the model.
  connect(encoding_, &QComboBox::activated, this, [this](int index) {
    if (model_) model_->selected = index;
  });
  tagControls_->onChoiceChanged = [this](int choice) {
    if (model_) model_->tagChoice = choice;
  };
  tagControls_->onEdit = [this] {
    if (model_ && Services().editTags) Services().editTags(this, model_->tags, true);
  };
}

QString CPageWMAOptions::Title() const {
  return Text(opt_wma_page::kTitle);
}

void CPageWMAOptions::InitPage() {
  if (model_) return;
  const WmaProfileList list = Services().wmaProfiles ? Services().wmaProfiles() : WmaProfileList();
  model_ = opt_wma_page::Model::FromSettings(settings_, list);
  tagControls_->BindExtras(model_->tags);
  ShowModel();
}

void CPageWMAOptions::ShowModel() {
  encoding_->clear();
  encoding_->addItem(Text(opt_wma_page::kAutoText));
  for (const opt_wma_page::EncodingEntry& e : model_->entries) {
    encoding_->addItem(QString::fromStdString(e.text));
  }
  // A stored encoding the runtime does not offer leaves the box without a selection.
  encoding_->setCurrentIndex(model_->selected);
  tagControls_->SetChoice(model_->tagChoice);
  gain_->SetValues(model_->amplify, model_->coefficient);
}

void CPageWMAOptions::ReadControls() {
  model_->selected = encoding_->currentIndex();
  model_->tagChoice = tagControls_->Choice();
  gain_->ReadInto(model_->amplify, model_->coefficient);
}

std::optional<PageRefusal> CPageWMAOptions::LeavePage() {
  if (!model_) return std::nullopt;
  ReadControls();
  if (const std::optional<std::string> refusal = model_->LeaveRefusal()) {
    return PageRefusal{QString::fromStdString(*refusal), gain_->CoefficientEdit()};
  }
  return gain_->Check();
}

void CPageWMAOptions::StoreInto(Settings& settings) const {
  if (model_) model_->StoreInto(settings);
}

}  // namespace sonorell
