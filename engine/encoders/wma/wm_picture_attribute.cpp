#include "engine/encoders/wma/wm_picture_attribute.h"

#include "engine/encoders/wma/wma_text_attribute.h"

namespace sonorell {

platform::wm::AsfAttribute WmPictureAttribute(const CoverPicture& picture) {
  platform::wm::AsfAttribute a{u"WM/Picture", platform::wm::WMT_TYPE_BINARY, {}, 0};
  const auto length = static_cast<uint32_t>(picture.data.size());
  const std::vector<uint8_t> mime = WmaTextAttribute(u"", picture.mime).value;
  const std::vector<uint8_t> description = WmaTextAttribute(u"", picture.description).value;
  a.value.reserve(5 + mime.size() + description.size() + picture.data.size());
  a.value.push_back(picture.type >= 0 && picture.type <= 0xFF ? static_cast<uint8_t>(picture.type)
                                                              : 0);
  for (int i = 0; i < 4; ++i) a.value.push_back(static_cast<uint8_t>(length >> (8 * i)));
  a.value.insert(a.value.end(), mime.begin(), mime.end());
  a.value.insert(a.value.end(), description.begin(), description.end());
  a.value.insert(a.value.end(), picture.data.begin(), picture.data.end());
  return a;
}

}  // namespace sonorell
