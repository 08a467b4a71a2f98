#pragma once

#include <ogg/ogg.h>

#include <cstddef>
#include <cstdint>

#include "engine/encoders/staged_output.h"

namespace sonorell {

// libogg's packer for one logical stream whose pages go to a staged output: packets are
// added with their granule positions, and pages are made when the writer says so.
class OggPageWriter {
 public:
  OggPageWriter(StagedOutput& out, int serial);
  ~OggPageWriter();
  OggPageWriter(const OggPageWriter&) = delete;
  OggPageWriter& operator=(const OggPageWriter&) = delete;

  // Adds the stream's next packet; first marks the stream's beginning, last its end.
  bool Add(const uint8_t* data, size_t size, int64_t granule, bool first, bool last);
  // Writes everything added so far on pages of its own, each as full as a page can be
  // (255 segments). False once a write has failed (its reason is the failure note).
  bool Flush();

 private:
  StagedOutput& out_;
  ogg_stream_state stream_{};
  bool ready_ = false;
  int64_t packetNumber_ = 0;
};

}  // namespace sonorell
