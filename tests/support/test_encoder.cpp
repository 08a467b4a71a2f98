#include "tests/support/test_encoder.h"

#include <vector>

#include "engine/encoders/block_pump.h"
#include "engine/encoders/staged_output.h"
#include "engine/sources/failure_note.h"

namespace sonorell::testing {
namespace {

class RawPcmConsumer : public BlockConsumer {
 public:
  RawPcmConsumer(StagedOutput& out, int channels, int bytesPerSample, int failAfterBlocks)
      : out_(out), channels_(channels), bytes_(bytesPerSample), failAfter_(failAfterBlocks) {}

  bool Consume(const void* left, const void* right, int frames) override {
    if (failAfter_ >= 0 && blocks_++ >= failAfter_) return false;
    interleaved_.resize(static_cast<size_t>(frames) * channels_ * bytes_);
    const auto* l = static_cast<const uint8_t*>(left);
    const auto* r = static_cast<const uint8_t*>(right);
    uint8_t* o = interleaved_.data();
    for (int i = 0; i < frames; ++i) {
      for (int b = 0; b < bytes_; ++b) *o++ = l[i * bytes_ + b];
      if (channels_ == 2) {
        for (int b = 0; b < bytes_; ++b) *o++ = r[i * bytes_ + b];
      }
    }
    return out_.Write(interleaved_.data(), interleaved_.size());
  }

 private:
  StagedOutput& out_;
  int channels_;
  int bytes_;
  int failAfter_;
  int blocks_ = 0;
  std::vector<uint8_t> interleaved_;
};

}  // namespace

EncoderFunction MakeTestEncoder(const TestEncoderPlan& plan, TestEncoderLog& log) {
  return [plan, &log](InputTypeCode inputType, const std::string& sourcePath,
                      const std::string& targetPath, ConvertProgress& progress,
                      const EncodeContext& context) -> int {
    log.runFileNumbers.push_back(context.runFileNumber);
    log.sources.push_back(sourcePath);
    log.targets.push_back(targetPath);
    if (plan.failToOpenSource) {
      SetFailureNote(plan.failureNote);
      return 0;
    }
    GeneratedSource source(plan.shape);
    if (!source.Open(sourcePath, 44100)) return 0;
    StagedOutput out;
    if (!out.Open(targetPath)) return 0;
    if (plan.succeedEmpty) return out.Commit(sourcePath) ? 1 : 0;
    RawPcmConsumer consumer(out, source.GetOutputChannels(), source.GetBitsPerSample() / 8,
                            plan.failAfterBlocks);
    const PumpResult result = PumpSourceBlocks(source, inputType, sourcePath, progress, consumer);
    if (result != PumpResult::kFinished) return 0;  // the staged file goes with `out`
    return out.Commit(sourcePath) ? 1 : 0;
  };
}

}  // namespace sonorell::testing
