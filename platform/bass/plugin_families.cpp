#include "platform/bass/plugin_families.h"

#include <strings.h>

#include <initializer_list>
#include <iterator>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace platform::bass {
namespace {

struct Family {
  const char* pluginName;
  bool cdAudio;
  std::initializer_list<AVCodecID> decoders;  // any one of them will do
  std::initializer_list<const char*> demuxers;
};

const Family kFamilies[] = {
    {"basscd.dll", true, {}, {}},
    {"bassflac.dll", false, {AV_CODEC_ID_FLAC}, {"flac", "ogg"}},
    {"basswma.dll",
     false,
     {AV_CODEC_ID_WMAV1, AV_CODEC_ID_WMAV2, AV_CODEC_ID_WMAPRO, AV_CODEC_ID_WMALOSSLESS},
     {"asf"}},
    {"basswv.dll", false, {AV_CODEC_ID_WAVPACK}, {"wv"}},
    {"bass_aac.dll", false, {AV_CODEC_ID_AAC}, {"aac", "mov"}},
    {"bass_adx.dll", false, {AV_CODEC_ID_ADPCM_ADX}, {"adx"}},
    {"bass_alac.dll", false, {AV_CODEC_ID_ALAC}, {"mov", "caf"}},
    {"bass_ape.dll", false, {AV_CODEC_ID_APE}, {"ape"}},
    {"bass_mpc.dll", false, {AV_CODEC_ID_MUSEPACK7, AV_CODEC_ID_MUSEPACK8}, {"mpc", "mpc8"}},
    {"bass_spx.dll", false, {AV_CODEC_ID_SPEEX}, {"ogg"}},
    {"bass_tta.dll", false, {AV_CODEC_ID_TTA}, {"tta"}},
};

}  // namespace

int PluginFamily(const std::string& pluginPath) {
  const size_t slash = pluginPath.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? pluginPath : pluginPath.substr(slash + 1);
  for (size_t i = 0; i < std::size(kFamilies); ++i) {
    if (::strcasecmp(name.c_str(), kFamilies[i].pluginName) == 0) return static_cast<int>(i);
  }
  return -1;
}

bool FamilyAvailable(int family) {
  if (family < 0 || static_cast<size_t>(family) >= std::size(kFamilies)) return false;
  const Family& f = kFamilies[family];
  if (f.cdAudio) return true;
  bool decoder = false;
  for (const AVCodecID id : f.decoders) decoder = decoder || avcodec_find_decoder(id) != nullptr;
  bool demuxer = false;
  for (const char* name : f.demuxers) demuxer = demuxer || av_find_input_format(name) != nullptr;
  return decoder && demuxer;
}

}  // namespace platform::bass
