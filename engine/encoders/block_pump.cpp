#include "engine/encoders/block_pump.h"

#include <cstdint>
#include <vector>

#include "engine/encoders/file_progress.h"

namespace sonorell {

PumpResult PumpSourceBlocks(AudioSource& source, InputTypeCode inputType,
                            const std::string& sourcePath, ConvertProgress& progress,
                            BlockConsumer& consumer) {
  // Two bytes per sample is enough for either width the sources deliver.
  std::vector<int16_t> left(BlockFrames);
  std::vector<int16_t> right(BlockFrames);
  void* rightBuffer = source.GetOutputChannels() == 2 ? right.data() : nullptr;

  const uint64_t length = source.GetLength();
  FileProgress fileProgress(progress, sourcePath, length);
  const bool endsAtLength = EndsAtLength(inputType);

  for (;;) {
    const int frames = source.Read(left.data(), rightBuffer);
    if (frames <= 0) break;
    const uint64_t position = source.GetPosition();
    fileProgress.Update(position);
    progress.PumpMessages();
    if (progress.CancelRequested()) return PumpResult::kCancelled;
    // A misbehaving decoder must not make us read past the block buffers.
    if (frames > BlockFrames) return PumpResult::kFailed;
    if (!consumer.Consume(left.data(), rightBuffer, frames)) return PumpResult::kFailed;
    if (endsAtLength && position >= (length == 0 ? 1 : length)) break;
  }
  fileProgress.Complete();
  return PumpResult::kFinished;
}

}  // namespace sonorell
