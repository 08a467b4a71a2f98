#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/tags/extra_tags.h"
#include "engine/encoders/tags/tag_record.h"
#include "engine/encoders/wma/wma_profile_list.h"
#include "platform/wmf/asf_header.h"
#include "platform/wmf/wm_writer.h"

namespace sonorell {

// The header attributes of a WMA file, in the order they are added: "Title", "Author",
// "WM/AlbumArtist" (the extras' album artist, else the artist again), "Description" (the
// comment), "WM/AlbumTitle", "WM/Genre", "WM/TrackNumber" (a 32-bit number), "WM/Year",
// "WM/Composer", "Copyright", and "WM/PartOfSet" ("2", or "2/3" with the disc total) when the
// extras have a disc number. Every text is UTF-16LE with its terminator, empty ones too; a
// text that does not convert from locale text is written empty. No tags, no attributes.
std::vector<platform::wm::AsfAttribute> WmaHeaderAttributes(const std::optional<TagRecord>& tags,
                                                            const ExtraTags& extras = {});

// The presentation time one block of frames adds, in 100-ns units, truncated.
uint64_t WmaBlockDuration(int frames, int sampleRate);

// One WMA file through the Windows Media runtime's writer: a one-stream profile of the
// chosen codec format, PCM input at the source's rate, width and channel count (the runtime
// converts rate and channels to the codec format's), the header attributes and the samples,
// timed.
class WmaFileWriter : public FormatWriter {
 public:
  // The stream every WMA output of ours has.
  static constexpr uint16_t kStreamNumber = 1;
  static constexpr uint32_t kBufferWindowMs = 3000;

  void SetPath(const std::string& path) { path_ = path; }
  void SetInput(int sampleRate, int bitsPerSample, int channels);
  void SetProfile(const WmaProfileEntry& profile) { profile_ = profile; }
  void SetTags(const TagRecord& tags) { tags_ = tags; }
  // The album artist, disc and cover picture. The picture goes into the finished file's
  // header (WM/Picture); when WMA cannot hold it, the file is finished without it and the
  // reason goes to notes (when given).
  void SetExtras(const ExtraTags& extras, OutputNotes* notes) {
    extras_ = extras;
    notes_ = notes;
  }

  // Builds the profile, describes the input, adds the attributes and creates the file.
  // False when any runtime step but the attributes fails; the writer is then reset.
  bool Begin();
  // One block, planar; right is used for two-channel input only. False when the runtime
  // does not take the sample.
  bool Write16(const int16_t* left, const int16_t* right, int frames);
  bool Write8(const uint8_t* left, const uint8_t* right, int frames);
  // Ends writing and adds the cover picture; false when the runtime could not complete the
  // file or the picture could not be written.
  bool End();

  bool WritePcm(const void* left, const void* right, int frames) override;
  bool Finish() override { return End(); }

  uint64_t PresentationTime() const { return time_; }

 private:
  bool WriteBlock(const void* left, const void* right, int frames, int bytesPerSample);
  bool AddCover() const;
  void Reset();

  std::string path_;
  int sampleRate_ = 0;
  int bitsPerSample_ = 16;
  int channels_ = 0;
  WmaProfileEntry profile_;
  std::optional<TagRecord> tags_;
  ExtraTags extras_;
  OutputNotes* notes_ = nullptr;
  std::unique_ptr<platform::wm::WmWriter> writer_;
  uint32_t input_ = 0;
  uint64_t time_ = 0;
};

}  // namespace sonorell
