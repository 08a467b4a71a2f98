#pragma once

// Real AAC frames for writing MP4 files in tests: ffmpeg's AAC encoder makes an ADTS stream
// of a tone, which is split into raw frames with the AudioSpecificConfig an MP4 track needs.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/mp4/mp4_wrapper.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell::testing {

struct AacFrames {
  std::string adtsPath;  // the encoder's own output, for comparing decodes
  int rate = 0;
  int channels = 0;
  uint64_t samples = 0;  // per channel, as fed to the encoder
  std::vector<uint8_t> config;
  std::vector<std::vector<uint8_t>> frames;
};

// Splits ADTS into raw frames; nullopt when the bytes are not a clean ADTS stream.
inline std::optional<AacFrames> SplitAdts(const std::string& bytes) {
  AacFrames out;
  const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t p = 0;
  while (p < bytes.size()) {
    if (p + 7 > bytes.size() || d[p] != 0xFF || (d[p + 1] & 0xF6) != 0xF0) return std::nullopt;
    const size_t length = ((d[p + 3] & 0x03u) << 11) | (d[p + 4] << 3) | (d[p + 5] >> 5);
    const size_t header = (d[p + 1] & 0x01) ? 7 : 9;
    if (length <= header || p + length > bytes.size()) return std::nullopt;
    out.frames.emplace_back(d + p + header, d + p + length);
    p += length;
  }
  if (out.frames.empty()) return std::nullopt;
  const int objectType = (d[2] >> 6) + 1;
  const int frequencyIndex = (d[2] >> 2) & 0x0F;
  const int channelConfig = ((d[2] & 0x01) << 2) | (d[3] >> 6);
  out.config = {static_cast<uint8_t>((objectType << 3) | (frequencyIndex >> 1)),
                static_cast<uint8_t>(((frequencyIndex & 1) << 7) | (channelConfig << 3))};
  return out;
}

// samples per channel of a 440 Hz tone at rate, encoded by ffmpeg.
inline std::optional<AacFrames> MakeAacFrames(const TempFolder& dir, int rate, int channels,
                                              uint64_t samples) {
  const std::string adts =
      dir / ("tone-" + std::to_string(rate) + "-" + std::to_string(channels) + ".aac");
  const std::string command =
      "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:" + std::string("sample_rate=") +
      std::to_string(rate) + " -af atrim=end_sample=" + std::to_string(samples) + " -ac " +
      std::to_string(channels) + " -c:a aac -b:a 96k -f adts " + ShellQuote(adts);
  if (!CommandOutput(command)) return std::nullopt;
  auto split = SplitAdts(ReadFileBytes(adts));
  if (!split) return std::nullopt;
  split->adtsPath = adts;
  split->rate = rate;
  split->channels = channels;
  split->samples = samples;
  return split;
}

// Stores the frames as the AAC writer does: durations of 1024 until they add up to the
// input's length plus the encoder delay, the rest 0, and the delay as the first sample's
// rendering offset. False when any call failed.
inline bool StoreFrames(platform::MP4FileHandle file, platform::MP4TrackId track,
                        const AacFrames& aac) {
  constexpr uint64_t kFrame = 1024;
  uint64_t written = 0;
  bool ok = true;
  for (const auto& frame : aac.frames) {
    const uint64_t remaining = aac.samples + kFrame - written;
    const uint64_t duration = remaining <= kFrame ? remaining : kFrame;
    ok &=
        platform::MP4WriteSampleExx(file, track, frame.data(), static_cast<uint32_t>(frame.size()),
                                    duration, written == 0 ? kFrame : 0, true);
    written += duration;
  }
  return ok;
}

// The whole writer's call sequence up to the samples: movie time scale 90000, one MPEG-4
// audio track at the sample rate, audio profile 0x0F and the stream's configuration.
inline platform::MP4TrackId StartTrack(platform::MP4FileHandle file, const AacFrames& aac) {
  platform::MP4SetTimeScaleExx(file, 90000);
  const platform::MP4TrackId track =
      platform::MP4AddAudioTrackExx(file, static_cast<uint32_t>(aac.rate),
                                    platform::MP4_INVALID_DURATION, platform::MP4_MPEG4_AUDIO_TYPE);
  platform::MP4SetAudioProfileLevelExx(file, 0x0F);
  platform::MP4SetTrackESConfigurationExx(file, track, aac.config.data(),
                                          static_cast<uint32_t>(aac.config.size()));
  return track;
}

}  // namespace sonorell::testing
