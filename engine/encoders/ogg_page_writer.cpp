#include "engine/encoders/ogg_page_writer.h"

namespace sonorell {
namespace {

// The most a page's 255 segments hold: libogg then never ends a page for its size alone.
constexpr long kFullPage = 255 * 255;

}  // namespace

OggPageWriter::OggPageWriter(StagedOutput& out, int serial) : out_(out) {
  ready_ = ogg_stream_init(&stream_, serial) == 0;
}

OggPageWriter::~OggPageWriter() {
  if (ready_) ogg_stream_clear(&stream_);
}

bool OggPageWriter::Add(const uint8_t* data, size_t size, int64_t granule, bool first, bool last) {
  if (!ready_) return false;
  ogg_packet packet{};
  packet.packet = const_cast<unsigned char*>(data);
  packet.bytes = static_cast<long>(size);
  packet.b_o_s = first ? 1 : 0;
  packet.e_o_s = last ? 1 : 0;
  packet.granulepos = granule;
  packet.packetno = packetNumber_++;
  return ogg_stream_packetin(&stream_, &packet) == 0;
}

bool OggPageWriter::Flush() {
  if (!ready_) return false;
  ogg_page page;
  while (ogg_stream_flush_fill(&stream_, &page, kFullPage) != 0) {
    if (!out_.Write(page.header, static_cast<size_t>(page.header_len)) ||
        !out_.Write(page.body, static_cast<size_t>(page.body_len))) {
      return false;
    }
  }
  return !out_.Failed();
}

}  // namespace sonorell
