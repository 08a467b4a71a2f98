#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace sonorell {

// One frame of a run of layer III frames whose main data is laid into the slots anew.
struct RunFrame {
  int areaBytes = 0;        // the main-data part of its slot
  int dataBytes = 0;        // its own main data
  int ownBegin = 0;         // its main_data_begin in the stream it was encoded in
  bool padded = true;       // an unpadded frame may take the padding byte
  bool mayKeepOwn = false;  // it may keep its own placement, which ends the run there
};

// Where the main data of a run goes.
struct RunLayout {
  // Frames [0, end) are laid anew; frame end (when there is one) and every frame after it
  // keep their own placement, the bytes frame end takes from before its slot copied.
  size_t end = 0;
  std::vector<int> begins;      // main_data_begin of frames [0, end)
  std::vector<bool> padded;     // frames [0, end) given the padding byte
  std::vector<int> areaStarts;  // where each slot's main-data part starts, in the run,
                                // frame 0's at 0; areaStarts[end] ends frame end - 1's
};

// Lays the main data of frames one after the other, as early as the main_data_begin field
// (at most maxBegin) allows: frame 0 keeps its placement, every other frame's data lies in
// the run's slots, and each frame's data must begin no later than its slot and end within
// it. Each unpadded frame in padOrder may take the
// padding byte, in that order, as many as the run needs to fit. nullopt when it cannot fit.
std::optional<RunLayout> LayOutRun(std::span<const RunFrame> frames, int maxBegin,
                                   std::span<const size_t> padOrder);

}  // namespace sonorell
