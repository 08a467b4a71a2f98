#include "engine/jobs/output_verify.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "engine/dsp/sample_width.h"
#include "engine/encoders/block_pump.h"
#include "engine/encoders/convert_progress.h"
#include "engine/jobs/input_types.h"
#include "engine/jobs/output_formats.h"
#include "engine/sources/source_factory.h"

namespace sonorell {
namespace {

// Verification shows nothing; it only listens for Cancel.
class QuietProgress : public ConvertProgress {
 public:
  explicit QuietProgress(const std::function<bool()>& cancelled) : cancelled_(cancelled) {}
  void SetFileLine(const std::string&) override {}
  int FileBarWidth() const override { return 100; }
  void SetFileBarRange(int) override {}
  void SetFileBarPos(int) override {}
  void SetOverallLine(const std::string&) override {}
  void SetOverallBarRange(int) override {}
  void StepOverallBar() override {}
  void PumpMessages() override {}
  bool CancelRequested() const override { return cancelled_ && cancelled_(); }

 private:
  const std::function<bool()>& cancelled_;
};

// Counts the decoded output's frames and, when asked, digests its samples.
class DecodedTally : public BlockConsumer {
 public:
  DecodedTally(bool digest, int channels, int bits)
      : digesting_(digest), channels_(channels), bytes_(SampleBytes(bits)) {}
  bool Consume(const void* left, const void* right, int frames) override {
    if (frames <= 0) return true;
    frames_ += static_cast<uint64_t>(frames);
    if (digesting_) digest_.Add(left, right, frames, channels_, bytes_);
    return true;
  }
  uint64_t frames_ = 0;
  PcmDigest digest_;

 private:
  bool digesting_;
  int channels_;
  int bytes_;
};

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", s);
  // The report and the status line read the same in every locale.
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  return text;
}

}  // namespace

int AllowedFrameDifference(int outputFormat, int outputRate) {
  // One codec frame plus the encoder's delay and end padding, generously; and 10 ms for
  // the rounding of a rate change. Truncation by half a second or more always shows.
  int frames = 0;
  switch (outputFormat) {
    case kOutputWav:
    case kOutputFlac:
      frames = 0;
      break;
    case kOutputMp3:
      frames = 1152 + 2 * 576 + 1152;
      break;
    case kOutputOgg:
      frames = 2048 + 2048;
      break;
    case kOutputAac:
    case kOutputM4a:
    case kOutputMp4:
    case kOutputM4b:
      frames = 2048 + 1024 + 1024;
      break;
    case kOutputAmr:
    case kOutputAwb:
      frames = outputRate / 50 * 3;  // 20 ms frames
      break;
    case kOutputWma:
      frames = 2048 + 4096 + 2048;
      break;
    case kOutputOpus:
      // Pre-skip and end trimming leave the source's length; a 20 ms frame of slack.
      frames = 960 + 960;
      break;
    default:
      frames = 4096;
      break;
  }
  return frames + outputRate / 100;
}

VerifyOutcome VerifyOutput(int outputFormat, const EncodeTally& tally,
                           const std::string& targetPath, const std::function<bool()>& cancelled) {
  VerifyOutcome v;
  v.sourceSeconds = tally.sourceSeconds;
  if (tally.output.rate <= 0) {
    v.failure = "verify: nothing was encoded";
    return v;
  }
  const InputTypeCode outputType = InputTypeForPath(targetPath);
  const BlockWidth width = outputFormat == kOutputFlac ? BlockWidth::kWide : BlockWidth::kDesigned;
  const std::unique_ptr<AudioSource> output =
      width == BlockWidth::kWide ? CreateWideAudioSource(targetPath, outputType, 0)
                                 : CreateAudioSource(targetPath, outputType, 0, true);
  if (!output || output->GetSampleRate() <= 0) {
    v.failure = "verify: the output cannot be read";
    return v;
  }
  // A WAV or FLAC file holds exactly the PCM it was given: every sample must come back,
  // a FLAC file's at its own width.
  const bool exact = outputFormat == kOutputWav || outputFormat == kOutputFlac;
  const PcmFormat read = DeliveredFormat(*output, width);
  const int outputRate = read.rate;
  const int channels = read.channels;
  const int bits = read.bits;
  if (exact && (outputRate != tally.output.rate || channels != tally.output.channels ||
                bits != tally.output.bits)) {
    v.failure = "verify: the output's format is not the one encoded";
    return v;
  }
  QuietProgress progress(cancelled);
  DecodedTally decoded(exact, channels, bits);
  if (PumpSourceBlocks(*output, outputType, targetPath, progress, decoded, width) !=
      PumpResult::kFinished) {
    v.failure = "verify: the output cannot be read to its end";
    return v;
  }
  v.outputSeconds = static_cast<double>(decoded.frames_) / outputRate;
  const double encodedSeconds = static_cast<double>(tally.outputFrames) / tally.output.rate;
  const double allowed =
      static_cast<double>(AllowedFrameDifference(outputFormat, outputRate)) / outputRate;
  const bool lengthWrong = exact ? decoded.frames_ != tally.outputFrames
                                 : std::fabs(v.outputSeconds - encodedSeconds) > allowed;
  if (lengthWrong) {
    v.failure = "verify: output is " + Seconds(v.outputSeconds) + " s, source " +
                Seconds(encodedSeconds) + " s";
    return v;
  }
  if (exact && decoded.digest_.Value() != tally.digest.Value()) {
    v.failure = "verify: the output's samples differ from what was encoded";
    return v;
  }
  v.ok = true;
  return v;
}

}  // namespace sonorell
