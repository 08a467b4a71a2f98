#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace sonorell {

// The window of one AAC frame as its first channel element states it: what the next frame's
// window continues from (its sequence must follow on, and the overlap uses this shape).
struct AacFrameWindow {
  int element = 0;            // 0 a single channel element, 1 a channel pair element
  int tag = 0;                // element_instance_tag
  bool commonWindow = false;  // channel pairs: both channels share one window
  int sequence = 0;           // window_sequence: long only, long start, eight short, long stop
  int shape = 0;              // window_shape: sine or Kaiser-Bessel derived

  // A channel pair without a common window states its second channel's window only after
  // the first channel's whole spectrum; just the first channel's is read.
  bool Complete() const { return element == 0 || commonWindow; }
  bool operator==(const AacFrameWindow&) const = default;
};

// The window of a frame (an ADTS frame with its header when adts, else a bare
// raw_data_block), read past any leading fill and data stream elements. Nullopt when the
// frame is cut short, or its first other element is no single channel or channel pair.
std::optional<AacFrameWindow> FrameWindow(const uint8_t* frame, size_t size, bool adts);

}  // namespace sonorell
