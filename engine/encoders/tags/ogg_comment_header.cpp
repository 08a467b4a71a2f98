#include "engine/encoders/tags/ogg_comment_header.h"

#include <fcntl.h>
#include <ogg/ogg.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/encoders/staged_output.h"
#include "engine/sources/failure_note.h"
#include "platform/files/unique_fd.h"
#include "platform/files/write_all.h"

namespace sonorell {
namespace {

constexpr size_t kReadChunk = 64 * 1024;
// Header pages are kept in memory while they are edited: a cover of tens of megabytes fits,
// a stream whose headers never end does not.
constexpr uint64_t kMostHeaderBytes = uint64_t{256} << 20;
constexpr size_t kPageHeaderBytes = 27;  // before the lacing values
constexpr size_t kSequenceOffset = 18;

// The pieces of an Ogg file in order: its pages, and whatever lies between them that makes
// no page (damage, or bytes after a cut), handed on as it is.
class OggPieces {
 public:
  enum class Piece { kPage, kOther, kEnd, kFailed };

  explicit OggPieces(int fd) : fd_(fd) { ogg_sync_init(&sync_); }
  ~OggPieces() { ogg_sync_clear(&sync_); }
  OggPieces(const OggPieces&) = delete;
  OggPieces& operator=(const OggPieces&) = delete;

  // The next piece; its bytes stay valid until the following call.
  Piece Next() {
    for (;;) {
      const long n = ogg_sync_pageseek(&sync_, &page_);
      if (n > 0) {
        offset_ = consumed_;
        consumed_ += static_cast<uint64_t>(n);
        return Piece::kPage;
      }
      if (n < 0) {  // skipped bytes that make no page; libogg has stepped past them
        return Other(sync_.returned + n, static_cast<size_t>(-n));
      }
      if (atEnd_) {
        const long left = sync_.fill - sync_.returned;
        if (left <= 0) return Piece::kEnd;
        const long from = sync_.returned;
        sync_.returned = sync_.fill;
        return Other(from, static_cast<size_t>(left));
      }
      char* buffer = ogg_sync_buffer(&sync_, kReadChunk);
      if (buffer == nullptr) return Piece::kFailed;
      ssize_t got = 0;
      do {
        got = ::read(fd_, buffer, kReadChunk);
      } while (got < 0 && errno == EINTR);
      if (got < 0) return Piece::kFailed;
      if (got == 0) {
        atEnd_ = true;
      } else {
        ogg_sync_wrote(&sync_, got);
      }
    }
  }

  const ogg_page& page() const { return page_; }
  std::string_view other() const { return other_; }
  uint64_t offset() const { return offset_; }

 private:
  Piece Other(long from, size_t size) {
    other_ = std::string_view(reinterpret_cast<const char*>(sync_.data) + from, size);
    offset_ = consumed_;
    consumed_ += size;
    return Piece::kOther;
  }

  int fd_;
  ogg_sync_state sync_{};
  ogg_page page_{};
  std::string_view other_;
  uint64_t offset_ = 0;
  uint64_t consumed_ = 0;
  bool atEnd_ = false;
};

// libogg's packer for the new header pages.
class OggPacker {
 public:
  explicit OggPacker(int serial) { ogg_stream_init(&stream_, serial); }
  ~OggPacker() { ogg_stream_clear(&stream_); }
  OggPacker(const OggPacker&) = delete;
  OggPacker& operator=(const OggPacker&) = delete;

  bool Add(const std::string& bytes, int64_t number, bool first, bool last) {
    ogg_packet packet{};
    packet.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.data()));
    packet.bytes = static_cast<long>(bytes.size());
    packet.b_o_s = first ? 1 : 0;
    packet.e_o_s = last ? 1 : 0;
    packet.granulepos = 0;
    packet.packetno = number;
    return ogg_stream_packetin(&stream_, &packet) == 0;
  }
  // Puts everything added so far on pages of its own.
  void Flush(std::vector<std::string>& pages) {
    ogg_page page;
    while (ogg_stream_flush(&stream_, &page) != 0) {
      std::string bytes(reinterpret_cast<const char*>(page.header),
                        static_cast<size_t>(page.header_len));
      bytes.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
      pages.push_back(std::move(bytes));
    }
  }

 private:
  ogg_stream_state stream_{};
};

std::string PageBytes(const ogg_page& page) {
  std::string bytes(reinterpret_cast<const char*>(page.header),
                    static_cast<size_t>(page.header_len));
  bytes.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
  return bytes;
}

// Recomputes the checksum of a page held as its bytes.
void SetChecksum(std::string& bytes) {
  auto* data = reinterpret_cast<unsigned char*>(bytes.data());
  ogg_page page{};
  page.header = data;
  page.header_len = static_cast<long>(kPageHeaderBytes + data[26]);
  page.body = data + page.header_len;
  page.body_len = static_cast<long>(bytes.size()) - page.header_len;
  ogg_page_checksum_set(&page);
}

// A page of the stream's headers as the file holds it.
struct HeaderPage {
  uint64_t offset = 0;
  std::string bytes;
};

// Where a piece of the comment packet lies: in which header page, from which byte.
struct Span {
  size_t page = 0;
  size_t at = 0;
  size_t size = 0;
};

// The stream's header pages and packets, and where the comment packet lies in them.
struct StreamHeaders {
  int serial = 0;
  std::vector<HeaderPage> pages;
  std::vector<std::string> packets;
  std::vector<Span> commentSpans;
  bool endsStream = false;  // the stream has nothing after its headers
};

class Rewriter {
 public:
  Rewriter(const std::string& path, const OggCodecHeaders& codec) : path_(path), codec_(codec) {}

  bool Run(const CommentPacketEdit& edit) {
    platform::UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return Fail("the file could not be read");
    StreamHeaders headers;
    if (!FindHeaders(fd.get(), headers)) return false;
    const std::optional<std::string> comment = edit(headers.packets[1]);
    if (!comment) return Fail("its comment header is damaged");
    if (*comment == headers.packets[1]) return true;
    if (comment->size() == headers.packets[1].size()) return WriteInPlace(headers, *comment);
    headers.packets[1] = *comment;
    return WriteAgain(fd.get(), headers);
  }

 private:
  bool Fail(const std::string& reason) const {
    SetFailureNote(std::string("the ") + codec_.name +
                   " comments could not be rewritten: " + reason);
    return false;
  }

  // Collects the pages of the codec's first stream up to the end of its last header packet.
  bool FindHeaders(int fd, StreamHeaders& headers) {
    OggPieces pieces(fd);
    bool found = false;
    int ended = 0;  // header packets that end on the pages collected
    uint64_t bytes = 0;
    for (;;) {
      const OggPieces::Piece piece = pieces.Next();
      if (piece == OggPieces::Piece::kFailed) return Fail("the file could not be read");
      if (piece == OggPieces::Piece::kEnd) break;
      if (piece == OggPieces::Piece::kOther) continue;
      const ogg_page& page = pieces.page();
      if (!found) {
        // Every stream starts on the file's first pages.
        if (!ogg_page_bos(&page)) break;
        const std::string_view body(reinterpret_cast<const char*>(page.body),
                                    static_cast<size_t>(page.body_len));
        if (body.substr(0, codec_.idMagic.size()) != codec_.idMagic) continue;
        found = true;
        headers.serial = ogg_page_serialno(&page);
      }
      if (ogg_page_serialno(&page) != headers.serial) continue;
      if (ogg_page_pageno(&page) != static_cast<long>(headers.pages.size()) ||
          (headers.pages.empty() ? ogg_page_continued(&page) != 0 : ogg_page_bos(&page) != 0)) {
        return Fail("its headers are damaged");
      }
      bytes += static_cast<uint64_t>(page.header_len + page.body_len);
      if (bytes > kMostHeaderBytes) return Fail("its headers are too large");
      headers.pages.push_back({pieces.offset(), PageBytes(page)});
      ended += ogg_page_packets(&page);
      if (ended >= codec_.packets) {
        const auto* lacing = page.header + kPageHeaderBytes;
        const bool audioBegins =
            ended > codec_.packets || (page.header[26] > 0 && lacing[page.header[26] - 1] == 255);
        if (audioBegins) return Fail("its headers share a page with the audio");
        headers.endsStream = ogg_page_eos(&page) != 0;
        SplitPackets(headers);
        return true;
      }
      if (ogg_page_eos(&page)) break;
    }
    return Fail(found ? "its headers are damaged"
                      : std::string("it holds no ") + codec_.name + " stream");
  }

  // The header packets, from the lacing values of the pages.
  void SplitPackets(StreamHeaders& headers) const {
    headers.packets.assign(1, std::string());
    for (size_t p = 0; p < headers.pages.size(); ++p) {
      const std::string& page = headers.pages[p].bytes;
      const size_t segments = static_cast<uint8_t>(page[26]);
      size_t at = kPageHeaderBytes + segments;
      for (size_t s = 0; s < segments; ++s) {
        const size_t size = static_cast<uint8_t>(page[kPageHeaderBytes + s]);
        if (headers.packets.size() == 2) headers.commentSpans.push_back({p, at, size});
        headers.packets.back().append(page, at, size);
        at += size;
        if (size < 255 && headers.packets.size() < static_cast<size_t>(codec_.packets)) {
          headers.packets.emplace_back();
        }
      }
    }
  }

  bool WriteInPlace(StreamHeaders& headers, const std::string& comment) {
    std::vector<bool> changed(headers.pages.size(), false);
    size_t from = 0;
    for (const Span& span : headers.commentSpans) {
      headers.pages[span.page].bytes.replace(span.at, span.size, comment, from, span.size);
      from += span.size;
      changed[span.page] = true;
    }
    platform::UniqueFd fd(::open(path_.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.valid()) return Fail("the file could not be written");
    for (size_t p = 0; p < headers.pages.size(); ++p) {
      if (!changed[p]) continue;
      HeaderPage& page = headers.pages[p];
      SetChecksum(page.bytes);
      if (::lseek(fd.get(), static_cast<off_t>(page.offset), SEEK_SET) < 0 ||
          !platform::WriteAll(fd.get(), page.bytes.data(), page.bytes.size())) {
        return Fail(std::string("the file could not be written (") + std::strerror(errno) + ")");
      }
    }
    if (::fdatasync(fd.get()) != 0 || !fd.Close()) {
      return Fail(std::string("the file could not be written (") + std::strerror(errno) + ")");
    }
    return true;
  }

  bool WriteAgain(int fd, const StreamHeaders& headers) {
    std::vector<std::string> pages;
    OggPacker packer(headers.serial);
    const int64_t count = static_cast<int64_t>(headers.packets.size());
    for (int64_t i = 0; i < count; ++i) {
      if (!packer.Add(headers.packets[i], i, i == 0, headers.endsStream && i == count - 1)) {
        return Fail("its headers could not be laid out");
      }
      // The identification header has the first page to itself.
      if (i == 0) packer.Flush(pages);
    }
    packer.Flush(pages);
    const long shift = static_cast<long>(pages.size()) - static_cast<long>(headers.pages.size());

    if (::lseek(fd, 0, SEEK_SET) != 0) return Fail("the file could not be read");
    StagedOutput out;
    if (!out.Open(path_)) return false;
    OggPieces pieces(fd);
    size_t headerPage = 0;
    bool streamOver = false;
    for (;;) {
      const OggPieces::Piece piece = pieces.Next();
      if (piece == OggPieces::Piece::kFailed) return Fail("the file could not be read");
      if (piece == OggPieces::Piece::kEnd) break;
      if (piece == OggPieces::Piece::kOther) {
        out.Write(pieces.other().data(), pieces.other().size());
        continue;
      }
      const ogg_page& page = pieces.page();
      if (streamOver || ogg_page_serialno(&page) != headers.serial) {
        out.Write(page.header, static_cast<size_t>(page.header_len));
        out.Write(page.body, static_cast<size_t>(page.body_len));
        continue;
      }
      if (headerPage < headers.pages.size()) {
        // The new header pages take the places of the first two old ones: the first page
        // among the other streams' first pages, the rest where the headers went on.
        const bool onePage = headers.pages.size() == 1;
        if (headerPage == 0) out.Write(pages[0].data(), pages[0].size());
        if (headerPage == 1 || (headerPage == 0 && onePage)) {
          for (size_t i = 1; i < pages.size(); ++i) out.Write(pages[i].data(), pages[i].size());
        }
        ++headerPage;
        continue;
      }
      if (ogg_page_bos(&page)) {
        // A later link of a chained file that happens to reuse the serial.
        streamOver = true;
        out.Write(page.header, static_cast<size_t>(page.header_len));
        out.Write(page.body, static_cast<size_t>(page.body_len));
        continue;
      }
      std::string bytes = PageBytes(page);
      if (shift != 0) {
        const uint32_t sequence = static_cast<uint32_t>(ogg_page_pageno(&page) + shift);
        for (size_t b = 0; b < 4; ++b) {
          bytes[kSequenceOffset + b] = static_cast<char>((sequence >> (8 * b)) & 0xFF);
        }
        SetChecksum(bytes);
      }
      out.Write(bytes.data(), bytes.size());
      if (ogg_page_eos(&page)) streamOver = true;
    }
    return out.Commit(std::string());
  }

  const std::string& path_;
  const OggCodecHeaders& codec_;
};

}  // namespace

bool ReplaceOggCommentPacket(const std::string& path, const OggCodecHeaders& codec,
                             const CommentPacketEdit& edit) {
  return Rewriter(path, codec).Run(edit);
}

}  // namespace sonorell
