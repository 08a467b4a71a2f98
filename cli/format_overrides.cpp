#include "cli/format_overrides.h"

#include <algorithm>

#include "engine/encoders/option_limits.h"
#include "engine/encoders/wav/wav_options.h"
#include "engine/jobs/output_formats.h"

namespace sonorell {
namespace {

bool ApplyWav(Settings& s, const FormatOverrides& o, std::string& error) {
  if (o.rate &&
      std::find(kWavPageRates.begin(), kWavPageRates.end(), *o.rate) == kWavPageRates.end()) {
    error = "--rate " + std::to_string(*o.rate) +
            " is not one of the WAV rates (6000, 8000, 11025, 12000, 16000, 22050, 24000, "
            "32000, 44100, 48000, 88200, 96000)";
    return false;
  }
  if (o.bits && *o.bits != 8 && *o.bits != 16) {
    error = "--bits must be 8 or 16";
    return false;
  }
  if (o.rate || o.bits || o.channels) {
    // Options left out follow the source, unless the user had chosen fixed ones.
    if (s.AutoDestWAVEncodingParam) {
      s.WAVSampleRate = 0;
      s.WAVBitsPerSample = 0;
      s.WAVChannelNum = 0;
    }
    s.AutoDestWAVEncodingParam = 0;
    if (o.rate) s.WAVSampleRate = *o.rate;
    if (o.bits) s.WAVBitsPerSample = *o.bits;
    if (o.channels) s.WAVChannelNum = *o.channels;
  }
  if (o.gain) {
    s.AmplifyWav = 1;
    s.AmplifyWavCoeff = *o.gain;
  }
  return true;
}

}  // namespace

bool ApplyFormatOverrides(Settings& settings, int outputFormat, const FormatOverrides& overrides,
                          std::string& error) {
  if (overrides.gain && !ValidAmplifyCoefficient(*overrides.gain)) {
    error = kInvalidAmplificationText;
    return false;
  }
  switch (outputFormat) {
    case kOutputWav:
      return ApplyWav(settings, overrides, error);
    default:
      if (overrides.Any()) {
        error = "--rate, --bits, --mono, --stereo and --gain are not available for this format";
        return false;
      }
      return true;
  }
}

}  // namespace sonorell
