#pragma once

#include "engine/dsp/sample_converter.h"
#include "settings/settings.h"

namespace sonorell {

// Opus bit rates in kbps: anything from the codec's lowest to its highest useful rate.
inline constexpr int kOpusMinKbps = 6;
inline constexpr int kOpusMaxKbps = 510;
// The automatic bit rate (a stored 0): 128 kbps for stereo output, 64 for mono.
inline constexpr int kOpusAutoStereoKbps = 128;
inline constexpr int kOpusAutoMonoKbps = 64;

// OpusRateControl as stored.
enum class OpusRateControl { kVariable = 0, kConstrainedVariable = 1, kConstant = 2 };

inline constexpr int kOpusMaxComplexity = 10;

// The bit rate "Auto" (a stored 0) stands for: 64 kbps for mono, 128 for two channels.
inline int OpusAutoKbps(int channels) {
  return channels == 1 ? kOpusAutoMonoKbps : kOpusAutoStereoKbps;
}

// What the Opus options make of a source: channels, bit rate, rate control, complexity.
// Opus always decodes at 48 kHz; the encoder is given the source's rate.
struct OpusParameters {
  int channels = 0;
  int kbps = 0;
  OpusRateControl rateControl = OpusRateControl::kVariable;
  int complexity = kOpusMaxComplexity;
  bool operator==(const OpusParameters&) const = default;
};

// Stored channels 1 or 2 are kept, anything else means the source's (a source of more
// than two channels gives stereo). Values out of their ranges are taken as the options
// store fixes them: the automatic bit rate, variable rate, complexity 10.
OpusParameters DecideOpusParameters(const Settings& settings, const PcmFormat& source);

}  // namespace sonorell
