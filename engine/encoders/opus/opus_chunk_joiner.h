#pragma once

#include <cstdint>
#include <vector>

#include "engine/encoders/ogg_page_writer.h"
#include "engine/encoders/opus/ogg_opus_encoder.h"
#include "engine/encoders/split/frame_joiner.h"
#include "engine/encoders/staged_output.h"

namespace sonorell {

// Joins the packets of an Ogg Opus file's chunks into one stream, paged as libopusenc pages
// a single-pass encode: the stream's two header packets on pages of their own, then the
// audio packets on pages that end once they hold a second of audio (or a page's worth of
// segments), the granule position of each packet the samples decoded through it (pre-skip
// included), and the last page's trimmed to where the audio ends.
class OpusChunkJoiner : public FrameJoiner {
 public:
  // rate: the rate of the writer's input. header: the stream's OpusHead and OpusTags
  // packets (IsOpusHeaderPair), as the file's single-pass encoder makes them.
  OpusChunkJoiner(StagedOutput& out, int serial, int rate, OpusPackets header);

 protected:
  int64_t FirstFrame(const ChunkSpan& span) const override;
  int64_t FrameAt(int64_t position) const override;
  bool Emit(std::vector<uint8_t>& unit, int64_t frame) override;
  bool Close(int64_t totalFrames, int64_t framesEmitted) override;

 private:
  bool WriteHeader();
  // Adds the next audio packet, ending pages before and after it as libopusenc does.
  bool AddAudio(const std::vector<uint8_t>& packet, int64_t granule, bool last);
  bool EndPage();

  OggPageWriter pages_;
  const int rate_;
  OpusPackets header_;
  bool headerWritten_ = false;
  std::vector<uint8_t> held_;  // the latest packet: the stream's last until another comes
  int64_t received_ = 0;       // packets given to Emit
  int64_t pageGranule_ = 0;    // granule position of the last page ended
  int64_t lastGranule_ = 0;    // granule position of the last packet added
  int pageSegments_ = 0;       // lacing values of the packets not yet on a page
};

}  // namespace sonorell
