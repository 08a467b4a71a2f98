// Feeds arbitrary bytes to the ASF header reader as a header object, and rewrites what it
// accepts with the attributes it found.
#include "platform/wmf/asf_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  if (const auto header = platform::wm::ParseAsfHeader(bytes)) {
    (void)platform::wm::RewriteHeader(bytes, header->attributes, header->playDuration);
  }
  return 0;
}
