// Feeds arbitrary bytes to the ASF header reader as a header object, rewrites what it
// accepts with the attributes it found, and edits it as the cover and gain writers do
// (a short text, a picture over 64 KB for the metadata library); what the editor makes must
// parse again.
#include <cstdlib>

#include "platform/wmf/asf_header.h"
#include "platform/wmf/asf_header_editor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace wm = platform::wm;
  const std::span<const uint8_t> bytes(data, size);
  if (const auto header = wm::ParseAsfHeader(bytes)) {
    (void)wm::RewriteHeader(bytes, header->attributes, header->playDuration);
    const wm::AsfAttributeEdit edit{
        {u"WM/Picture", u"replaygain_track_gain", u"Title"},
        {{u"replaygain_track_gain", wm::WMT_TYPE_STRING, {'-', 0, '1', 0, 0, 0}, 0},
         {u"WM/Picture", wm::WMT_TYPE_BINARY, std::vector<uint8_t>(70000, 0xFF), 0}}};
    if (const auto edited = wm::EditHeader(bytes, edit)) {
      if (!wm::ParseAsfHeader(*edited)) std::abort();
    }
  }
  return 0;
}
