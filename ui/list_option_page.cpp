#include "ui/list_option_page.h"

#include <QLabel>
#include <QVBoxLayout>

#include "engine/encoders/channel_choice.h"
#include "engine/encoders/tags/comment_tag_texts.h"
#include "ui/tag_mode_controls.h"

namespace sonorell {

GainControls* BuildListOptionPage(COptPage& page, const OptionServices& services,
                                  std::vector<ParameterList> lists, std::vector<int*> fields,
                                  const char* note, ChannelsTagsGain& common) {
  auto* layout = new QVBoxLayout(&page);

  auto* params = new ParameterBox(std::move(lists), channel_choice::kTexts, &page);
  params->setObjectName(QStringLiteral("parameters"));
  for (size_t i = 0; i < fields.size(); ++i) params->ShowValue(i, *fields[i]);
  params->ShowChannel(common.channelChoice);
  // Only user actions (activated, clicked) reach the fields.
  params->onValue = [fields](size_t index, int value) { *fields[index] = value; };
  params->onChannel = [&common](int choice) { common.channelChoice = choice; };
  layout->addWidget(params);

  auto* noteLabel = new QLabel(QString::fromUtf8(note), &page);
  noteLabel->setObjectName(QStringLiteral("note"));
  noteLabel->setWordWrap(true);
  layout->addWidget(noteLabel);

  auto* gain = new GainControls(&page);
  auto* tagControls = new TagModeControls(kCommentTagTexts, kEditCommentsText, &page);
  tagControls->setTitle(QString::fromUtf8(kCommentGroupText));
  tagControls->Bind(common.tagChoice, common.tags, services, &page);
  layout->addLayout(GainRow(gain, tagControls));
  layout->addStretch(1);
  gain->SetValues(common.amplify, common.coefficient);
  return gain;
}

}  // namespace sonorell
