#include "engine/encoders/wma/wma_gain_tags.h"

#include "engine/encoders/tags/gain_texts.h"
#include "engine/encoders/wma/wma_text_attribute.h"
#include "engine/sources/failure_note.h"
#include "platform/wmf/asf_header_editor.h"

namespace sonorell {

bool WriteWmaGainTags(const std::string& path, const GainTags& gains) {
  platform::wm::AsfAttributeEdit edit;
  edit.remove = {u"replaygain_track_gain", u"replaygain_track_peak", u"replaygain_album_gain",
                 u"replaygain_album_peak"};
  for (const ReplayGainItem& item : ReplayGainItems(gains)) {
    edit.add.push_back(
        WmaTextAttribute(std::u16string(item.lowerName.begin(), item.lowerName.end()), item.value));
  }
  switch (platform::wm::EditAsfAttributes(path, edit)) {
    case platform::wm::AsfEditResult::kInPlace:
    case platform::wm::AsfEditResult::kRewritten:
      return true;
    case platform::wm::AsfEditResult::kUnreadable:
      SetFailureNote("the ReplayGain tags could not be written: the WMA header is damaged");
      return false;
    case platform::wm::AsfEditResult::kTooLarge:
      SetFailureNote("the ReplayGain tags could not be written: the WMA header is full");
      return false;
    case platform::wm::AsfEditResult::kFailed:
      break;
  }
  SetFailureNote("the ReplayGain tags could not be written into the WMA file");
  return false;
}

}  // namespace sonorell
