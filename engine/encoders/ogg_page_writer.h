#pragma once

#include <ogg/ogg.h>

#include <cstddef>
#include <cstdint>

#include "engine/encoders/staged_output.h"

namespace sonorell {

// How much a page holds when the writer flushes: libogg's own rule (pages of about 4 KB, as
// ogg_stream_flush makes them), or as much as a page's 255 segments take.
enum class OggFlushFill : long { kLibogg = 4096, kFullPages = 255 * 255 };

// libogg's packer for one logical stream whose pages go to a staged output. Packets are added
// as the codec made them, or from bytes with their granule positions; pages are written when
// libogg finds one full, or when the writer flushes. Nothing is written after the page that
// ends the stream.
class OggPageWriter {
 public:
  OggPageWriter(StagedOutput& out, int serial, OggFlushFill fill);
  ~OggPageWriter();
  OggPageWriter(const OggPageWriter&) = delete;
  OggPageWriter& operator=(const OggPageWriter&) = delete;

  // Adds the stream's next packet; first marks the stream's beginning, last its end.
  bool Add(const uint8_t* data, size_t size, int64_t granule, bool first, bool last);
  // Adds a packet as a codec library made it, with its own number and marks.
  bool Add(ogg_packet& packet);
  // Writes the pages libogg has completed by its own paging rule.
  bool WriteFullPages();
  // Writes everything added so far on pages of its own. False once a write has failed (its
  // reason is the failure note).
  bool Flush();
  // Whether the page that ends the stream has been written.
  bool Ended() const { return ended_; }

 private:
  bool WritePage(const ogg_page& page);

  StagedOutput& out_;
  const OggFlushFill fill_;
  ogg_stream_state stream_{};
  bool ready_ = false;
  bool ended_ = false;
  int64_t packetNumber_ = 0;
};

}  // namespace sonorell
