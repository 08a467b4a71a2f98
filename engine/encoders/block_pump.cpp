#include "engine/encoders/block_pump.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/encoders/file_progress.h"
#include "engine/sources/failure_note.h"

namespace sonorell {

namespace {

bool ReadsWide(const AudioSource& source, BlockWidth width) {
  return width == BlockWidth::kWide && source.GetWideBits() > 16;
}

}  // namespace

PcmFormat DeliveredFormat(const AudioSource& source, BlockWidth width) {
  return PcmFormat{source.GetSampleRate(), source.GetOutputChannels(),
                   ReadsWide(source, width) ? source.GetWideBits() : source.GetBitsPerSample()};
}

std::string BreaksOffNote(double deliveredSeconds, int statedSeconds) {
  const auto clock = [](long long seconds) {
    char text[32];
    if (seconds >= 3600) {
      std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                    seconds % 60);
    } else {
      std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    }
    return std::string(text);
  };
  const auto at = static_cast<long long>(deliveredSeconds > 0 ? deliveredSeconds : 0);
  std::string note = "the source breaks off at " + clock(at);
  if (statedSeconds > at) note += " of " + clock(statedSeconds);
  return note;
}

PumpResult PumpSourceBlocks(AudioSource& source, InputTypeCode inputType,
                            const std::string& sourcePath, ConvertProgress& progress,
                            BlockConsumer& consumer, BlockWidth width) {
  // 32-bit cells hold a sample of any width the sources deliver.
  std::vector<int32_t> left(BlockFrames);
  std::vector<int32_t> right(BlockFrames);
  const auto rightBuffer = [&] { return source.GetOutputChannels() == 2 ? right.data() : nullptr; };

  const uint64_t length = source.GetLength();
  FileProgress fileProgress(progress, sourcePath, length);
  const bool endsAtLength = EndsAtLength(inputType);
  double seconds = 0;  // of sound delivered, over every format the source changed to

  for (;;) {
    const int frames = ReadsWide(source, width) ? source.ReadWide(left.data(), rightBuffer())
                                                : source.Read(left.data(), rightBuffer());
    if (frames <= 0) {
      const DataEnd end = source.EndOfData();
      if (end == DataEnd::kFormatChange) {
        if (!consumer.Reformat(DeliveredFormat(source, width))) return PumpResult::kFailed;
        continue;
      }
      if (end == DataEnd::kBrokenOff) {
        SetFailureNote(BreaksOffNote(seconds, source.GetDuration()));
        return PumpResult::kBrokenOff;
      }
      break;
    }
    const uint64_t position = source.GetPosition();
    fileProgress.Update(position);
    progress.PumpMessages();
    if (progress.CancelRequested()) return PumpResult::kCancelled;
    // A misbehaving decoder must not make us read past the block buffers.
    if (frames > BlockFrames) return PumpResult::kFailed;
    if (!consumer.Consume(left.data(), rightBuffer(), frames)) return PumpResult::kFailed;
    if (source.GetSampleRate() > 0) seconds += static_cast<double>(frames) / source.GetSampleRate();
    if (endsAtLength && position >= (length == 0 ? 1 : length)) break;
  }
  fileProgress.Complete();
  return PumpResult::kFinished;
}

}  // namespace sonorell
