#include "engine/encoders/wma/wma_text_attribute.h"

#include <utility>

#include "platform/text/text_conversion.h"

namespace sonorell {

platform::wm::AsfAttribute WmaTextAttribute(std::u16string name, const std::string& utf8) {
  const std::u16string wide = platform::Utf8ToUtf16(utf8).value_or(std::u16string());
  platform::wm::AsfAttribute a{std::move(name), platform::wm::WMT_TYPE_STRING, {}, 0};
  a.value.reserve((wide.size() + 1) * 2);
  for (const char16_t unit : wide) {
    a.value.push_back(static_cast<uint8_t>(unit));
    a.value.push_back(static_cast<uint8_t>(unit >> 8));
  }
  a.value.push_back(0);
  a.value.push_back(0);
  return a;
}

}  // namespace sonorell
