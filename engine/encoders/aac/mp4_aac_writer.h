#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/encoders/aac/aac_frame_encoder.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/staged_output.h"
#include "engine/encoders/tags/extra_tags.h"
#include "engine/encoders/tags/tag_record.h"
#include "platform/mp4/mp4_wrapper.h"

namespace sonorell {

// An MP4 file (M4A, MP4 or M4B flavour) with one AAC track and iTunes-style metadata,
// written by the MP4 wrapper into the staged output's temporary file.
class Mp4AacWriter : public FormatWriter {
 public:
  // Every AAC track of ours: a 90 kHz movie clock, MPEG-4 audio, profile level 0x0F.
  static constexpr uint32_t kMovieTimeScale = 90000;
  static constexpr uint8_t kAudioProfileLevel = 0x0F;

  explicit Mp4AacWriter(StagedOutput& out) : out_(out) {}
  ~Mp4AacWriter() override;
  Mp4AacWriter(const Mp4AacWriter&) = delete;
  Mp4AacWriter& operator=(const Mp4AacWriter&) = delete;

  // Creates the MP4 file and opens the encoder. False when either fails.
  bool Open(int rate, int channels, platform::Mp4Brand brand);
  platform::faacEncConfiguration& Configuration() { return encoder_.Configuration(); }
  // Configures the encoder and sets up the track. False when the encoder refuses the
  // configuration or the track cannot be made.
  bool Start();
  // Title, artist, album, genre, year, comment, composer and the track's number as MP4
  // metadata in UTF-8; empty texts and a track number outside 1..65535 are left out, and
  // the copyright is not written (MP4 metadata of ours has no place for it).
  // With the track total (a decimal text; ignored unless a positive number) trkn is "n/N".
  void SetTags(const TagRecord& tags, std::string_view trackTotal = {});
  // Album artist (aART), disc and disc total (disk) and the cover picture (covr). Returns
  // why the picture was left out (it is neither JPEG nor PNG, or too large), else empty.
  std::string SetExtras(const ExtraTags& extras);
  // Room after the index for gain tags written once the file is finished.
  void ReserveTagRoom(uint32_t bytes);

  bool WritePcm(const void* left, const void* right, int frames) override;
  // Drains the encoder and writes the index; false when any sample or the index failed.
  bool Finish() override;

 private:
  bool StoreSample(const uint8_t* bytes, int size);

  struct CloseFile {
    void operator()(platform::Mp4File* f) const { platform::MP4CloseExx(f); }
  };
  StagedOutput& out_;
  std::unique_ptr<platform::Mp4File, CloseFile> file_;
  platform::MP4TrackId track_ = platform::MP4_INVALID_TRACK_ID;
  int rate_ = 0;
  AacFrameEncoder encoder_;
  uint64_t samplesWritten_ = 0;
  bool failed_ = false;
};

}  // namespace sonorell
