#include "cli/output_verify.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "engine/encoders/block_conditioner.h"
#include "engine/encoders/block_pump.h"
#include "engine/encoders/convert_progress.h"
#include "engine/encoders/wav/wav_encoder.h"
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

class FrameCounter : public BlockConsumer {
 public:
  bool Consume(const void*, const void*, int frames) override {
    frames_ += static_cast<uint64_t>(frames);
    return true;
  }
  uint64_t frames_ = 0;
};

// Reads the decoded output block by block and compares it, sample for sample, with the
// conditioned source blocks handed to WritePcm.
class SampleComparer : public PcmSink {
 public:
  SampleComparer(AudioSource& output, int channels, int bytesPerSample)
      : output_(output), channels_(channels), bytes_(bytesPerSample) {
    left_.resize(static_cast<size_t>(BlockFrames) * 2);
    right_.resize(static_cast<size_t>(BlockFrames) * 2);
  }

  bool WritePcm(const void* left, const void* right, int frames) override {
    const auto* l = static_cast<const uint8_t*>(left);
    const auto* r = static_cast<const uint8_t*>(right);
    int done = 0;
    while (done < frames) {
      if (have_ == used_ && !Refill()) {
        sourceLonger_ = true;
        return true;  // the rest only counts towards the length
      }
      const int n = std::min(frames - done, have_ - used_);
      const size_t at = static_cast<size_t>(done) * static_cast<size_t>(bytes_);
      const size_t from = static_cast<size_t>(used_) * static_cast<size_t>(bytes_);
      const size_t size = static_cast<size_t>(n) * static_cast<size_t>(bytes_);
      if (std::memcmp(l + at, left_.data() + from, size) != 0 ||
          (channels_ == 2 && std::memcmp(r + at, right_.data() + from, size) != 0)) {
        if (mismatchAt_ < 0) {
          mismatchAt_ = static_cast<int64_t>(compared_) + FirstDiff(l + at, r + at, from, n);
        }
      }
      compared_ += static_cast<uint64_t>(n);
      used_ += n;
      done += n;
    }
    return true;
  }

  // True when the output has frames the source never delivered.
  bool OutputLonger() { return have_ > used_ || Refill(); }

  int64_t mismatchAt_ = -1;
  bool sourceLonger_ = false;
  uint64_t compared_ = 0;

 private:
  bool Refill() {
    if (ended_) return false;
    const int n = output_.Read(left_.data(), right_.data());
    if (n <= 0) {
      ended_ = true;
      return false;
    }
    have_ = std::min(n, BlockFrames);
    used_ = 0;
    return true;
  }

  int FirstDiff(const uint8_t* l, const uint8_t* r, size_t from, int n) const {
    for (int i = 0; i < n; ++i) {
      const size_t a = static_cast<size_t>(i) * static_cast<size_t>(bytes_);
      if (std::memcmp(l + a, left_.data() + from + a, static_cast<size_t>(bytes_)) != 0 ||
          (channels_ == 2 &&
           std::memcmp(r + a, right_.data() + from + a, static_cast<size_t>(bytes_)) != 0)) {
        return i;
      }
    }
    return 0;
  }

  AudioSource& output_;
  int channels_;
  int bytes_;
  std::vector<uint8_t> left_;
  std::vector<uint8_t> right_;
  int have_ = 0;
  int used_ = 0;
  bool ended_ = false;
};

// Frames of a source read to its end the way a conversion reads it.
bool CountFrames(AudioSource& source, InputTypeCode type, const std::string& path,
                 QuietProgress& progress, uint64_t& frames) {
  FrameCounter counter;
  const PumpResult r = PumpSourceBlocks(source, type, path, progress, counter);
  frames = counter.frames_;
  return r == PumpResult::kFinished;
}

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", s);
  // The report and the status line read the same in every locale.
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  return text;
}

std::string LengthFailure(double output, double source) {
  return "verify: output is " + Seconds(output) + " s, source " + Seconds(source) + " s";
}

int RenderingRate(const Settings& s) {
  if (s.OutputFormat == kOutputWav && !s.AutoDestWAVEncodingParam && s.WAVSampleRate > 0) {
    return s.WAVSampleRate;
  }
  return 44100;
}

}  // namespace

int AllowedFrameDifference(int outputFormat, int outputRate) {
  // One codec frame plus the encoder's delay and end padding, generously; and 10 ms for
  // the rounding of a rate change. Truncation by half a second or more always shows.
  int frames = 0;
  switch (outputFormat) {
    case kOutputWav:
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
    default:
      frames = 4096;
      break;
  }
  return frames + outputRate / 100;
}

VerifyOutcome VerifyOutput(const Settings& settings, InputTypeCode inputType,
                           const std::string& sourcePath, const std::string& targetPath,
                           const std::function<bool()>& cancelled) {
  VerifyOutcome v;
  QuietProgress progress(cancelled);
  const std::unique_ptr<AudioSource> source =
      CreateAudioSource(sourcePath, inputType, RenderingRate(settings), true);
  const InputTypeCode outputType = InputTypeForPath(targetPath);
  const std::unique_ptr<AudioSource> output = CreateAudioSource(targetPath, outputType, 0, true);
  if (!source) {
    v.failure = "verify: the source cannot be read again";
    return v;
  }
  if (!output || output->GetSampleRate() <= 0) {
    v.failure = "verify: the output cannot be read";
    return v;
  }
  const int sourceRate = source->GetSampleRate();
  const int outputRate = output->GetSampleRate();
  if (sourceRate <= 0) {
    v.failure = "verify: the source has no sample rate";
    return v;
  }

  uint64_t sourceFrames = 0;
  uint64_t outputFrames = 0;
  const PcmFormat delivered{sourceRate, source->GetOutputChannels(), source->GetBitsPerSample()};
  const ConditioningPlan plan = PlanWavOutput(settings, delivered);
  if (settings.OutputFormat == kOutputWav && !plan.convert &&
      plan.output.channels == output->GetOutputChannels() &&
      plan.output.bits == output->GetBitsPerSample() && plan.output.rate == outputRate) {
    // The same samples must come back: condition the source as the conversion did and
    // compare block by block.
    SampleComparer comparer(*output, plan.output.channels, plan.output.bits == 8 ? 1 : 2);
    BlockConditioner conditioner;
    if (!conditioner.Open(plan, comparer)) {
      v.failure = "verify: the source cannot be conditioned";
      return v;
    }
    const PumpResult r = PumpSourceBlocks(*source, inputType, sourcePath, progress, conditioner);
    if (r != PumpResult::kFinished || !conditioner.Finish()) {
      v.failure = "verify: the source cannot be read again";
      return v;
    }
    const bool outputLonger = comparer.OutputLonger();
    if (comparer.sourceLonger_ || outputLonger) {
      // Measure both lengths in full for the message.
      const std::unique_ptr<AudioSource> s2 =
          CreateAudioSource(sourcePath, inputType, RenderingRate(settings), true);
      const std::unique_ptr<AudioSource> o2 = CreateAudioSource(targetPath, outputType, 0, true);
      if (s2) CountFrames(*s2, inputType, sourcePath, progress, sourceFrames);
      if (o2) CountFrames(*o2, outputType, targetPath, progress, outputFrames);
      v.sourceSeconds = static_cast<double>(sourceFrames) / sourceRate;
      v.outputSeconds = static_cast<double>(outputFrames) / outputRate;
      v.failure = LengthFailure(v.outputSeconds, v.sourceSeconds);
      return v;
    }
    v.sourceSeconds = static_cast<double>(comparer.compared_) / sourceRate;
    v.outputSeconds = v.sourceSeconds;
    if (comparer.mismatchAt_ >= 0) {
      v.failure = "verify: sample " + std::to_string(comparer.mismatchAt_) +
                  " of the output differs from the source";
      return v;
    }
    v.ok = true;
    return v;
  }

  if (!CountFrames(*source, inputType, sourcePath, progress, sourceFrames)) {
    v.failure = "verify: the source cannot be read again";
    return v;
  }
  if (!CountFrames(*output, outputType, targetPath, progress, outputFrames)) {
    v.failure = "verify: the output cannot be read to its end";
    return v;
  }
  v.sourceSeconds = static_cast<double>(sourceFrames) / sourceRate;
  v.outputSeconds = static_cast<double>(outputFrames) / outputRate;
  const double allowed =
      static_cast<double>(AllowedFrameDifference(settings.OutputFormat, outputRate)) / outputRate;
  if (std::fabs(v.outputSeconds - v.sourceSeconds) > allowed) {
    v.failure = LengthFailure(v.outputSeconds, v.sourceSeconds);
    return v;
  }
  v.ok = true;
  return v;
}

}  // namespace sonorell
