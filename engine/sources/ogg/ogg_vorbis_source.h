#pragma once

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/sources/audio_source.h"

namespace sonorell {

// Ogg Vorbis files through vorbisfile, delivered as 16-bit samples. Length and position
// count bytes of the Ogg stream. The first link's Vorbis comments are the file's tags.
//
// A chained file is read through to its last link. Where a link changes the rate or the
// channel count, Read ends a run with DataEnd::kFormatChange and goes on in the new format;
// length and duration cover every link. A file whose last page never completes, or whose
// decoding fails on and on until the end, has broken off.
class OggVorbisSource : public AudioSource {
 public:
  OggVorbisSource() = default;
  ~OggVorbisSource() override;

  void Close() override;
  // The rendering rate is ignored.
  bool Open(const std::string& path, int renderingRate) override;
  int Read(void* left, void* right) override;
  // Where vorbisfile stands in the stream, asked afresh each time.
  uint64_t GetPosition() const override;
  bool ReadTags(std::string& title, std::string& artist, std::string& album, std::string& year,
                std::string& genre, std::string& comment, std::string& track, std::string& composer,
                std::string& copyright) override;

  // The first link's user comments ("NAME=value") in stream order, as locale text; what
  // the code page cannot hold, or what is not UTF-8 at all, became replacement characters.
  const std::vector<std::string>& Comments() const { return comments_; }

  // Consecutive decoder errors (holes, bad links) one Read puts up with before it takes
  // the stream for ended.
  static constexpr int kMaxConsecutiveErrors = 256;

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  // One ov_read into interleaved_, repeated over decoder errors within the bound: the byte
  // count of whole frames, with the format of their link, or 0 at the end of the data.
  long ReadDecoded(int& channels, int& rate);

  std::unique_ptr<std::FILE, FileCloser> file_;
  // vorbisfile's functions take the record by non-const pointer, asking the position too.
  mutable OggVorbis_File vorbis_{};
  bool opened_ = false;
  bool ended_ = false;
  std::string path_;
  std::vector<std::string> comments_;
  std::vector<size_t> replacedComments_;  // indices of comments_ with replacement characters
  // Interleaved samples of every channel. pendingBytes_ of them, from pendingStart_ on, are
  // decoded and wait for the next Read: the first run of a link in a new format, or what
  // one block could not take.
  std::array<int16_t, 2048> interleaved_{};
  size_t pendingStart_ = 0;
  long pendingBytes_ = 0;
};

}  // namespace sonorell
