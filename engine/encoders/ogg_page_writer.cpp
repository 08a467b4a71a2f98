#include "engine/encoders/ogg_page_writer.h"

namespace sonorell {

OggPageWriter::OggPageWriter(StagedOutput& out, int serial, OggFlushFill fill)
    : out_(out), fill_(fill) {
  ready_ = ogg_stream_init(&stream_, serial) == 0;
}

OggPageWriter::~OggPageWriter() {
  if (ready_) ogg_stream_clear(&stream_);
}

bool OggPageWriter::Add(const uint8_t* data, size_t size, int64_t granule, bool first, bool last) {
  ogg_packet packet{};
  packet.packet = const_cast<unsigned char*>(data);
  packet.bytes = static_cast<long>(size);
  packet.b_o_s = first ? 1 : 0;
  packet.e_o_s = last ? 1 : 0;
  packet.granulepos = granule;
  packet.packetno = packetNumber_;
  return Add(packet);
}

bool OggPageWriter::Add(ogg_packet& packet) {
  if (!ready_ || ended_) return false;
  ++packetNumber_;
  return ogg_stream_packetin(&stream_, &packet) == 0;
}

bool OggPageWriter::WritePage(const ogg_page& page) {
  if (!out_.Write(page.header, static_cast<size_t>(page.header_len)) ||
      !out_.Write(page.body, static_cast<size_t>(page.body_len))) {
    return false;
  }
  if (ogg_page_eos(&page)) ended_ = true;
  return true;
}

bool OggPageWriter::WriteFullPages() {
  if (!ready_) return false;
  ogg_page page;
  while (!ended_ && ogg_stream_pageout(&stream_, &page) != 0) {
    if (!WritePage(page)) return false;
  }
  return !out_.Failed();
}

bool OggPageWriter::Flush() {
  if (!ready_) return false;
  ogg_page page;
  while (!ended_ && ogg_stream_flush_fill(&stream_, &page, static_cast<int>(fill_)) != 0) {
    if (!WritePage(page)) return false;
  }
  return !out_.Failed();
}

}  // namespace sonorell
