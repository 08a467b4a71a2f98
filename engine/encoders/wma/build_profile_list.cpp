#include "engine/encoders/wma/build_profile_list.h"

#include <array>
#include <memory>

#include "platform/wmf/wm_runtime.h"

namespace sonorell {
namespace {

namespace wm = platform::wm;

constexpr uint32_t kDescriptionChars = 1024;

char16_t Upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

}  // namespace

bool AdmitsCodecFormat(std::u16string_view description, const wm::WM_MEDIA_TYPE& type) {
  std::u16string upper(description);
  for (char16_t& c : upper) c = Upper(c);
  if (upper.find(u"(A/V)") != std::u16string::npos) return false;
  const bool wma = type.subtype == wm::WaveFormatSubtype(wm::WAVE_FORMAT_WMAUDIO2) ||
                   type.subtype == wm::WaveFormatSubtype(wm::WAVE_FORMAT_WMAUDIO3);
  return wma && type.hasWaveFormat && type.wave.nChannels <= 2;
}

bool BuildProfileList(WmaProfileList& list) {
  list.Clear();
  const platform::WmEntryPoints& runtime = platform::WmRuntime();
  if (runtime.WMCreateProfileManager == nullptr) return false;
  std::unique_ptr<wm::WmProfileManager> manager;
  if (wm::FAILED(runtime.WMCreateProfileManager(&manager)) || !manager) return false;

  uint32_t codecs = 0;
  if (wm::FAILED(manager->GetCodecInfoCount(wm::MajorType::kAudio, &codecs))) return true;
  for (uint32_t codec = 0; codec < codecs; ++codec) {
    uint32_t formats = 0;
    if (wm::FAILED(manager->GetCodecFormatCount(wm::MajorType::kAudio, codec, &formats))) {
      return true;
    }
    for (uint32_t format = 0; format < formats; ++format) {
      std::array<char16_t, kDescriptionChars> text{};
      uint32_t chars = kDescriptionChars;
      std::unique_ptr<wm::WmStreamConfig> config;
      if (wm::FAILED(manager->GetCodecFormatDesc(wm::MajorType::kAudio, codec, format, &config,
                                                 text.data(), &chars)) ||
          !config) {
        return true;
      }
      const std::u16string_view description(text.data(),
                                            std::char_traits<char16_t>::length(text.data()));
      wm::WM_MEDIA_TYPE type;
      uint32_t bitRate = 0;
      if (wm::FAILED(config->GetMediaType(&type)) || wm::FAILED(config->GetBitrate(&bitRate))) {
        return true;
      }
      if (!AdmitsCodecFormat(description, type)) continue;
      const wm::WAVEFORMATEX& w = type.wave;
      list.Insert(
          {{w.wFormatTag, w.nChannels, static_cast<int>(w.nSamplesPerSec), w.wBitsPerSample},
           static_cast<int>(bitRate)});
    }
  }
  return true;
}

WmaProfileList& SharedWmaProfileList() {
  static WmaProfileList list;
  return list;
}

}  // namespace sonorell
