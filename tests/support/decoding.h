#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/sources/audio_source.h"

namespace sonorell::testing {

// Everything a source delivered, channel by channel (8-bit samples keep their unsigned
// values), with the properties it reported.
struct Decoded {
  int channels = 0;        // GetChannels
  int outputChannels = 0;  // GetOutputChannels
  int bits = 0;
  int sampleRate = 0;
  int duration = 0;
  uint64_t length = 0;
  uint64_t finalPosition = 0;
  int reads = 0;
  std::vector<int16_t> left;
  std::vector<int16_t> right;
};

// Reads a source to its end, checking the block contract on the way. maxReads bounds a
// decoder that never ends.
inline Decoded DecodeAll(AudioSource& source, int maxReads = 10'000'000) {
  Decoded d;
  d.channels = source.GetChannels();
  d.outputChannels = source.GetOutputChannels();
  d.bits = source.GetBitsPerSample();
  d.sampleRate = source.GetSampleRate();
  d.duration = source.GetDuration();
  d.length = source.GetLength();
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  uint64_t lastPosition = source.GetPosition();
  while (d.reads < maxReads) {
    const int n = source.Read(l.data(), d.outputChannels == 2 ? r.data() : nullptr);
    if (n <= 0) break;
    ++d.reads;
    EXPECT_LE(n, BlockFrames);
    const uint64_t position = source.GetPosition();
    EXPECT_GE(position, lastPosition) << "position went back";
    lastPosition = position;
    for (int i = 0; i < n; ++i) {
      if (d.bits == 8) {
        d.left.push_back(reinterpret_cast<const uint8_t*>(l.data())[i]);
        if (d.outputChannels == 2) d.right.push_back(reinterpret_cast<const uint8_t*>(r.data())[i]);
      } else {
        d.left.push_back(l[i]);
        if (d.outputChannels == 2) d.right.push_back(r[i]);
      }
    }
  }
  d.finalPosition = lastPosition;
  return d;
}

// Standard output of a command run through the shell; nullopt when it fails.
inline std::optional<std::string> CommandOutput(const std::string& command) {
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int status = ::pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

inline bool ToolAvailable(const std::string& tool) {
  return CommandOutput("command -v " + tool).has_value();
}

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Interleaved 16-bit little-endian samples of every channel, as sox decodes the file
// (no dither). extra goes after the output format, e.g. "remix 1 4".
inline std::optional<std::vector<int16_t>> SoxDecode16(const std::string& path,
                                                       const std::string& extra = "") {
  const auto raw =
      CommandOutput("sox -D " + ShellQuote(path) + " -t raw -e signed-integer -b 16 -L - " + extra);
  if (!raw) return std::nullopt;
  std::vector<int16_t> samples(raw->size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>((*raw)[2 * i]) |
                                      (static_cast<uint8_t>((*raw)[2 * i + 1]) << 8));
  }
  return samples;
}

// The same through ffmpeg, for encodings sox does not read.
inline std::optional<std::vector<int16_t>> FfmpegDecode16(const std::string& path) {
  const auto raw = CommandOutput("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                                 " -f s16le -acodec pcm_s16le -");
  if (!raw) return std::nullopt;
  std::vector<int16_t> samples(raw->size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>((*raw)[2 * i]) |
                                      (static_cast<uint8_t>((*raw)[2 * i + 1]) << 8));
  }
  return samples;
}

// The first and (for stereo and more) another channel of interleaved samples.
inline void SplitChannels(const std::vector<int16_t>& interleaved, int channels, int rightIndex,
                          std::vector<int16_t>& left, std::vector<int16_t>& right) {
  left.clear();
  right.clear();
  for (size_t i = 0; i + channels <= interleaved.size(); i += static_cast<size_t>(channels)) {
    left.push_back(interleaved[i]);
    if (channels > 1) right.push_back(interleaved[i + static_cast<size_t>(rightIndex)]);
  }
}

inline std::string SamplePath(const std::string& name) {
  std::string path = SONORELL_SAMPLES_DIR;  // built by appending: g++ 12 warns falsely on a + b + c
  path += '/';
  path += name;
  return path;
}

}  // namespace sonorell::testing

// Skips the test cleanly when a shared sample or a validator is not on this machine.
#define SONORELL_REQUIRE_SAMPLE(name)                                                  \
  do {                                                                                 \
    if (!std::filesystem::exists(::sonorell::testing::SamplePath(name)))               \
      GTEST_SKIP() << "sample " << (name) << " is not present";                        \
  } while (0)
#define SONORELL_REQUIRE_TOOL(tool)                                                    \
  do {                                                                                 \
    if (!::sonorell::testing::ToolAvailable(tool)) GTEST_SKIP() << (tool) << " is not installed"; \
  } while (0)
