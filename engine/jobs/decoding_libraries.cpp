#include "engine/jobs/decoding_libraries.h"

#include "engine/sources/bass/bass_source.h"
#include "platform/bass/bass.h"
#include "platform/ffmpeg/ffmpeg_log.h"

namespace sonorell {

bool StartDecodingLibraries(std::string& error) {
  platform::ffmpeg::QuietFfmpegLog();
  if ((platform::BASS_GetVersion() >> 16) != platform::BASSVERSION) {
    error = "the decoding library is not the 2.4 version Sonorell was built for";
    return false;
  }
  if (!platform::BASS_Init(0, 44100, 0, nullptr, nullptr) &&
      platform::BASS_ErrorGetCode() != platform::BASS_ERROR_ALREADY) {
    error = "the decoding library could not be started";
    return false;
  }
  LoadBassPlugins();
  return true;
}

void StopDecodingLibraries() {
  platform::BASS_PluginFree(0);
  platform::BASS_Free();
}

}  // namespace sonorell
