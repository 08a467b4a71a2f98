#pragma once

// What the MP3 and Ogg Vorbis output tests ask of other programs: generated inputs (sox),
// what ffprobe and the format validators read from the outputs, and the shared samples
// that the native readers open.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sources/input_type_code.h"
#include "engine/sources/source_factory.h"
#include "tests/support/decoding.h"

namespace sonorell::testing {

// A sine tone (or two different ones, left and right) written by sox.
inline bool MakeTone(const std::string& path, int rate, int channels, double seconds,
                     int bits = 16) {
  const std::string synth = channels == 2
                                ? " synth " + std::to_string(seconds) + " sine 440 sine 660 vol 0.5"
                                : " synth " + std::to_string(seconds) + " sine 440 vol 0.5";
  return CommandOutput("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                       " -b " + std::to_string(bits) + " " + ShellQuote(path) + synth)
      .has_value();
}

inline long SoxFrames(const std::string& path) {
  const auto out = CommandOutput("soxi -s " + ShellQuote(path));
  return out ? std::stol(*out) : -1;
}

// The first audio stream as ffprobe reads it, and the file's and stream's tags.
struct StreamProbe {
  bool ok = false;
  std::string codec;
  int rate = 0;
  int channels = 0;
  long bitRate = 0;
  double seconds = 0;
  std::map<std::string, std::string> tags;  // keys upper-cased
};

inline StreamProbe FfprobeStream(const std::string& path) {
  StreamProbe p;
  const auto out = CommandOutput(
      "ffprobe -v error -select_streams a:0 -show_entries "
      "stream=codec_name,sample_rate,channels,bit_rate,duration:stream_tags:format_tags "
      "-of default=nw=1 " +
      ShellQuote(path));
  if (!out) return p;
  std::istringstream lines(*out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "codec_name") p.codec = value;
    if (key == "sample_rate") p.rate = std::atoi(value.c_str());
    if (key == "channels") p.channels = std::atoi(value.c_str());
    if (key == "bit_rate") p.bitRate = std::atol(value.c_str());
    if (key == "duration") p.seconds = std::atof(value.c_str());
    if (key.rfind("TAG:", 0) == 0) {
      key = key.substr(4);
      for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      p.tags[key] = value;
    }
  }
  p.ok = !p.codec.empty();
  return p;
}

// Frames per channel that ffmpeg decodes from a file; -1 when it cannot.
inline long FfmpegFrames(const std::string& path) {
  const auto raw = CommandOutput("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                                 " -f s16le -acodec pcm_s16le -ac 1 -");
  return raw ? static_cast<long>(raw->size() / 2) : -1;
}

// mp3val's complaints, one per line; its note about a file without tags is not one.
inline std::string Mp3valProblems(const std::string& path) {
  const auto out = CommandOutput("mp3val " + ShellQuote(path));
  if (!out) return "mp3val could not run";
  std::istringstream lines(*out);
  std::string line;
  std::string problems;
  while (std::getline(lines, line)) {
    const bool complaint =
        line.rfind("WARNING", 0) == 0 || line.rfind("ERROR", 0) == 0 || line.rfind("FIXED", 0) == 0;
    if (complaint && line.find("No supported tags in the file") == std::string::npos) {
      problems += line + "\n";
    }
  }
  return problems;
}

// ogginfo's warnings and errors; ogginfo itself fails on a file it cannot make sense of.
inline std::string OgginfoProblems(const std::string& path) {
  FILE* pipe = ::popen(("ogginfo " + ShellQuote(path) + " 2>&1").c_str(), "r");
  if (!pipe) return "ogginfo could not run";
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int status = ::pclose(pipe);
  std::istringstream lines(out);
  std::string line;
  std::string problems;
  while (std::getline(lines, line)) {
    if (line.find("WARNING") != std::string::npos || line.find("ERROR") != std::string::npos ||
        line.find("Warning") != std::string::npos || line.find("Error") != std::string::npos) {
      problems += line + "\n";
    }
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) problems += "ogginfo failed\n";
  return problems;
}

// opusinfo's report, or nullopt when it found the stream faulty. Its warnings count as
// faults too.
inline std::optional<std::string> CleanOpusinfo(const std::string& path) {
  const auto out = CommandOutput("LC_ALL=C.UTF-8 opusinfo " + ShellQuote(path) + " 2>&1");
  if (!out || out->find("WARNING") != std::string::npos ||
      out->find("ERROR") != std::string::npos) {
    return std::nullopt;
  }
  return out;
}

// The native samples every output must take, with their input types.
struct NativeSample {
  const char* name;
  InputTypeCode type;
};
inline const std::vector<NativeSample>& NativeSamples() {
  static const std::vector<NativeSample> samples{
      {"chord-16bit.wav", kInputWav},     {"chord-alaw.wav", kInputWav},
      {"chord-ulaw.wav", kInputWav},      {"chord-float.wav", kInputWav},
      {"chord-ima-adpcm.wav", kInputWav}, {"chord-ms-adpcm.wav", kInputWav},
      {"chord-gsm.wav", kInputWav},       {"speech-mono-48k.wav", kInputWav},
      {"chord.aiff", kInputAiff},         {"chord-ulaw.aifc", kInputAiff},
      {"chord-ulaw.au", kInputSunAudio},  {"chord-16bit.au", kInputSunAudio}};
  return samples;
}

// Samples that need a decoder of another kind; a test skips them while none opens them.
inline const std::vector<NativeSample>& DecodedSamples() {
  static const std::vector<NativeSample> samples{{"chord.mp3", kInputMp3},
                                                 {"chord.flac", kInputFlac},
                                                 {"chord.m4a", kInputM4a},
                                                 {"chord.wma", kInputWindowsMedia},
                                                 {"complete.oga", kInputOgg}};
  return samples;
}

inline bool FactoryOpens(const std::string& path, InputTypeCode type) {
  return CreateAudioSource(path, type, 44100, /*forConversion=*/false) != nullptr;
}

}  // namespace sonorell::testing
