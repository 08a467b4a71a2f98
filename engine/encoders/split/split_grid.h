#pragma once

#include <cstdint>

namespace sonorell {

// How the writer-input audio of one long file is cut for encoding on several cores. All
// counts are frames of the writer's input (its rate), and every one is a whole number of
// grid steps, so each chunk's encoder starts on a frame boundary of the stream as a single
// encoder would have made it.
struct SplitGrid {
  int64_t stepFrames = 1;   // the grid: a whole number of the codec's frames
  int64_t chunkFrames = 0;  // the audio each chunk contributes (its kept part)
  int64_t leadFrames = 0;   // audio before a chunk that its encoder also takes and drops,
                            // so that it has settled where the kept part begins
  int64_t tailFrames = 0;   // audio after a chunk that its encoder also takes, where the
                            // join with the next chunk may fall
};

// The audio a chunk contributes: long enough that the overlap each chunk encodes twice
// costs little, short enough that the last chunks keep every core busy to the end.
inline constexpr double kSplitChunkSeconds = 20.0;

// The smallest number of input frames at inputRate that makes a whole number of codec
// frames of codecFrame samples at codecRate (the codec's own resampling kept in step).
int64_t SplitStep(int inputRate, int codecRate, int codecFrame);

// A grid of step with the chunk, lead and tail lengths given in seconds of inputRate,
// each rounded up to whole steps (the chunk to at least one step).
SplitGrid MakeSplitGrid(int64_t step, int inputRate, double chunkSeconds, double leadSeconds,
                        double tailSeconds);

}  // namespace sonorell
