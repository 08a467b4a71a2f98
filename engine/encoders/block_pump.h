#pragma once

#include <string>

#include "engine/encoders/convert_progress.h"
#include "engine/sources/audio_source.h"
#include "engine/sources/input_type_code.h"

namespace sonorell {

// Receives the blocks of one file exactly as the source delivered them (planar, the
// source's width and output channels).
class BlockConsumer {
 public:
  virtual ~BlockConsumer() = default;
  // False stops the file as a failure (an encoder or write error).
  virtual bool Consume(const void* left, const void* right, int frames) = 0;
};

enum class PumpResult { kFinished, kCancelled, kFailed };

// The block loop every encoder shares: read a block, show progress, let the window
// breathe, stop on Cancel, hand the block on; the file ends when the source delivers
// nothing, and synthesised inputs also end at their length. On kFinished the file line
// shows 100%.
PumpResult PumpSourceBlocks(AudioSource& source, InputTypeCode inputType,
                            const std::string& sourcePath, ConvertProgress& progress,
                            BlockConsumer& consumer);

}  // namespace sonorell
