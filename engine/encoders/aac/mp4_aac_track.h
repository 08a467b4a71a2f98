#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoders/aac/aac_frame_sink.h"
#include "engine/encoders/staged_output.h"
#include "engine/encoders/tags/extra_tags.h"
#include "engine/encoders/tags/tag_record.h"
#include "platform/mp4/mp4_wrapper.h"

namespace sonorell {

// An MP4 file (M4A, MP4 or M4B flavour) with one AAC track and iTunes-style metadata,
// written by the MP4 wrapper into the staged output's temporary file. Each frame becomes
// one sample that plays one frame's samples, except that together they play the input plus
// the encoder's start-up delay of one frame, which the first sample's offset marks for
// players to skip: the sample that reaches that total is cut to it, and any after it play
// nothing.
class Mp4AacTrack : public AacFrameSink {
 public:
  // Every AAC track of ours: a 90 kHz movie clock, MPEG-4 audio, profile level 0x0F.
  static constexpr uint32_t kMovieTimeScale = 90000;
  static constexpr uint8_t kAudioProfileLevel = 0x0F;

  explicit Mp4AacTrack(StagedOutput& out) : out_(out) {}
  ~Mp4AacTrack() override;  // an unfinished file is closed and discarded
  Mp4AacTrack(const Mp4AacTrack&) = delete;
  Mp4AacTrack& operator=(const Mp4AacTrack&) = delete;

  // Creates the MP4 file. False when it cannot be.
  bool Create(platform::Mp4Brand brand);
  // Sets up the track for frames of frameSize samples at rate, with the encoder's
  // AudioSpecificConfig. False when the track cannot be made.
  bool AddTrack(int rate, int frameSize, const std::vector<uint8_t>& config);
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

  // A frame that may play less than a whole frame (it reaches past inputKnown and the
  // delay) waits for Close, and so does every frame after it.
  bool WriteFrame(const uint8_t* bytes, size_t size, uint64_t inputKnown) override;
  // Writes the waiting frames and the index; false when any sample or the index failed.
  bool Close(uint64_t inputSamples) override;

 private:
  bool WriteSample(const uint8_t* bytes, size_t size, uint64_t duration);

  struct CloseFile {
    void operator()(platform::Mp4File* f) const { platform::MP4CloseExx(f); }
  };
  StagedOutput& out_;
  std::unique_ptr<platform::Mp4File, CloseFile> file_;
  platform::MP4TrackId track_ = platform::MP4_INVALID_TRACK_ID;
  uint64_t frameSize_ = 0;       // the samples of one frame, and the encoder's start-up delay
  uint64_t samplesWritten_ = 0;  // the durations of the samples written so far
  bool firstSample_ = true;
  std::deque<std::vector<uint8_t>> waiting_;
  bool failed_ = false;
};

}  // namespace sonorell
