#include "engine/encoders/wav/wav_encoder.h"

#include <memory>

#include "engine/encoders/encode_pipeline.h"
#include "engine/encoders/wav/wav_file_writer.h"
#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

// The writer with the WAV rules around it: a file past the 32-bit size fields is a clear
// failure, never a silently corrupt header.
class WavOutput : public FormatWriter {
 public:
  explicit WavOutput(StagedOutput& out) : writer_(out) {}
  bool Open(const PcmFormat& format) {
    return writer_.Open(format.channels == 2, format.bits, format.rate);
  }
  bool WritePcm(const void* l, const void* r, int frames) override {
    if (writer_.WritePcm(l, r, frames)) return true;
    if (writer_.TooLarge()) {
      SetFailureNote("a WAV file cannot hold more than 4 GB; choose another output format");
    }
    return false;
  }
  bool Finish() override { return writer_.Finish(); }

 private:
  WavFileWriter writer_;
};

}  // namespace

ConditioningPlan PlanWavOutput(const Settings& s, const PcmFormat& source) {
  PcmFormat wanted{0, 0, 0};
  if (!s.AutoDestWAVEncodingParam) {
    wanted.rate = s.WAVSampleRate;
    wanted.channels = s.WAVChannelNum;
    // Only 8 and 16 bits are written; any other stored width takes the 8-bit path and
    // the header says so.
    wanted.bits = s.WAVBitsPerSample == 0 ? 0 : (s.WAVBitsPerSample == 16 ? 16 : 8);
  }
  return PlanConditioning(source, wanted, s.MonoType, s.AmplifyWav != 0, s.AmplifyWavCoeff);
}

int EncodeWavFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context) {
  const Settings& s = context.settings;
  EncodeRecipe recipe;
  recipe.renderingRate =
      (s.AutoDestWAVEncodingParam || s.WAVSampleRate <= 0) ? 44100 : s.WAVSampleRate;
  recipe.plan = [&s](AudioSource&, const PcmFormat& delivered, ConditioningPlan& plan) {
    plan = PlanWavOutput(s, delivered);
    const bool resampled = plan.output.rate != delivered.rate;
    if (resampled && (plan.output.rate < kMinOutputRate || plan.output.rate > kMaxOutputRate)) {
      SetFailureNote("the WAV sample rate " + std::to_string(plan.output.rate) +
                     " Hz is outside what Sonorell writes");
      return false;
    }
    return true;
  };
  recipe.openWriter = [](StagedOutput& out, const ConditioningPlan& plan,
                         AudioSource&) -> std::unique_ptr<FormatWriter> {
    auto writer = std::make_unique<WavOutput>(out);
    if (!writer->Open(plan.output)) return nullptr;
    return writer;
  };
  return RunEncode(recipe, inputType, sourcePath, targetPath, progress, context);
}

}  // namespace sonorell
