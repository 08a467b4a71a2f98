#pragma once

#include <string>

#include "engine/dsp/sample_converter.h"
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
  // The blocks that follow come in this format (a chained part of the source). False
  // stops the file as a failure; by default a consumer cannot follow.
  virtual bool Reformat(const PcmFormat& /*source*/) { return false; }
};

// Which read the pump takes blocks with: the designed 8/16-bit blocks of every encoder, or
// for lossless outputs the wide read of sources that hold more than 16 bits (their blocks
// then come as signed values of the source's width in 32-bit cells).
enum class BlockWidth { kDesigned, kWide };

// kBrokenOff: the source's data broke off short of its end; every block it did deliver was
// handed on, and the failure note says where it broke off.
enum class PumpResult { kFinished, kCancelled, kFailed, kBrokenOff };

// The block loop every encoder shares: read a block, show progress, let the window
// breathe, stop on Cancel, hand the block on; where the source goes on in another format,
// the consumer is told before the first block of it. The file ends when the source delivers
// nothing, and synthesised inputs also end at their length. On kFinished the file line
// shows 100%.
PumpResult PumpSourceBlocks(AudioSource& source, InputTypeCode inputType,
                            const std::string& sourcePath, ConvertProgress& progress,
                            BlockConsumer& consumer, BlockWidth width = BlockWidth::kDesigned);

// The source's delivered format, as the conditioning takes it.
PcmFormat DeliveredFormat(const AudioSource& source, BlockWidth width = BlockWidth::kDesigned);

// "the source breaks off at 2:13 of 4:05" (without " of ..." when the length is not
// known beyond the point where it broke off).
std::string BreaksOffNote(double deliveredSeconds, int statedSeconds);

}  // namespace sonorell
