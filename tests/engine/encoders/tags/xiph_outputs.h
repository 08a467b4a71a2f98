#pragma once

// Files of the Vorbis comment family written by our own writers (a three-second stereo tone
// with the comments and picture given), and what other programs read back from such files:
// the audio as ffmpeg decodes it.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "engine/encoders/flac/flac_writer.h"
#include "engine/encoders/ogg/ogg_encoder.h"
#include "engine/encoders/opus/opus_encoder.h"
#include "engine/encoders/staged_output.h"
#include "tests/support/decoding.h"
#include "tests/support/mutagen_tags.h"

namespace sonorell::testing {

inline constexpr int kToneRate = 44100;
inline constexpr int kToneBlock = 1152;
inline constexpr int kToneBlocks = 3 * kToneRate / kToneBlock;

// Feeds the tone to a writer in blocks of 16-bit samples and puts the file in place.
inline bool WriteTone(FormatWriter& writer, StagedOutput& out) {
  std::vector<int16_t> left(kToneBlock), right(kToneBlock);
  for (int block = 0; block < kToneBlocks; ++block) {
    for (int i = 0; i < kToneBlock; ++i) {
      const double t = static_cast<double>(block * kToneBlock + i) / kToneRate;
      left[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * t));
      right[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 660 * t));
    }
    if (!writer.WritePcm(left.data(), right.data(), kToneBlock)) return false;
  }
  return writer.Finish() && out.Commit("");
}

inline bool WriteOurVorbis(const std::string& path, const std::vector<CommentField>& comments) {
  StagedOutput out;
  if (!out.Open(path)) return false;
  VorbisEncoder encoder(out);
  if (!encoder.Configure(kToneRate, 2, 128)) return false;
  encoder.AddComments(comments);
  return encoder.WriteHeaders(4242) && WriteTone(encoder, out);
}

inline bool WriteOurOpus(const std::string& path, const std::vector<CommentField>& comments) {
  StagedOutput out;
  if (!out.Open(path)) return false;
  OggOpusWriter writer(out);
  OpusParameters parameters;
  parameters.channels = 2;
  parameters.kbps = 96;
  return writer.Open(kToneRate, 2, parameters, 4243, comments) && WriteTone(writer, out);
}

inline bool WriteOurFlac(const std::string& path, FlacStreamSetup setup) {
  StagedOutput out;
  if (!out.Open(path)) return false;
  FlacWriter writer(out);
  setup.format = {kToneRate, 2, 16};
  return writer.Open(setup) && WriteTone(writer, out);
}

// The MD5 of the file's audio as ffmpeg decodes it.
inline std::string DecodedMd5(const std::string& path) {
  return CommandOutput("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -map 0:a -f md5 -")
      .value_or("no decode");
}

}  // namespace sonorell::testing
