#pragma once

#include <array>

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/dsp/sample_converter.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/staged_output.h"
#include "engine/encoders/tags/cover_picture.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"

namespace sonorell {

// What a FLAC file is made of besides its audio.
struct FlacStreamSetup {
  PcmFormat format;          // 16-bit blocks in 16-bit cells, or 24-bit ones in 32-bit cells
  int level = 5;             // compression level 0 .. 8
  uint64_t totalFrames = 0;  // as far as known beforehand (for the seek table); 0 if not
  std::vector<CommentField> comments;
  // The cover, as a PICTURE block; it must fit FLAC's 24-bit block length.
  std::optional<CoverPicture> picture;
  uint32_t padding = 0;  // bytes of a PADDING block at the end of the metadata; 0 for none
};

// Sets up a new libFLAC encoder for the format at a compression level (0 .. 8) as every
// FLAC output of ours is encoded. False when libFLAC refuses the format.
bool ConfigureFlacEncoder(FLAC__StreamEncoder* encoder, const PcmFormat& format, int level);

// libFLAC's planes for a block in our cells: 24-bit blocks are already 32-bit cells; 16-bit
// ones are widened into left and right, which grow as needed.
void FlacPlanes(const PcmFormat& format, const void* left, const void* right, int frames,
                std::vector<int32_t>& wideLeft, std::vector<int32_t>& wideRight,
                const FLAC__int32* planes[2]);

// A FLAC stream written through libFLAC into the staged output: STREAMINFO with the MD5
// signature of the audio, a seek table with a point every ten seconds, the Vorbis comment
// block, the picture and padding when asked for, then the frames. libFLAC rewrites STREAMINFO and
// the seek table at Finish, in place.
class FlacWriter : public FormatWriter {
 public:
  explicit FlacWriter(StagedOutput& out) : out_(out) {}
  ~FlacWriter() override;
  FlacWriter(const FlacWriter&) = delete;
  FlacWriter& operator=(const FlacWriter&) = delete;

  // False when libFLAC refuses the format (a rate or width FLAC cannot carry).
  bool Open(const FlacStreamSetup& setup);
  bool WritePcm(const void* left, const void* right, int frames) override;
  bool Finish() override;

  // Or the frames come encoded from elsewhere (the chunks of a long file), numbered in
  // order, every one but the last of blockSize samples; the file is then completed with
  // FinishFrames instead of Finish, which writes STREAMINFO (with the MD5 signature of the
  // whole audio) and the seek table for them.
  bool AppendFrame(const std::vector<uint8_t>& frame);
  bool FinishFrames(uint32_t blockSize, uint64_t totalSamples, const std::array<uint8_t, 16>& md5);

 private:
  struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
  };
  struct MetadataDeleter {
    void operator()(FLAC__StreamMetadata* block) const { FLAC__metadata_object_delete(block); }
  };
  using Metadata = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

  static FLAC__StreamEncoderWriteStatus OnWrite(const FLAC__StreamEncoder*,
                                                const FLAC__byte buffer[], size_t bytes,
                                                uint32_t samples, uint32_t frame, void* self);
  static FLAC__StreamEncoderSeekStatus OnSeek(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                              void* self);
  static FLAC__StreamEncoderTellStatus OnTell(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                              void* self);
  bool Put(const uint8_t* bytes, size_t size);
  bool MarkUnusedSeekPoints();
  // The blocks after the seek table, appended to blocks; false when one cannot be made.
  bool MakeTagBlocks(const FlacStreamSetup& setup, std::vector<FLAC__StreamMetadata*>& blocks);

  StagedOutput& out_;
  // The blocks outlive the encoder, which reads them until it is deleted.
  Metadata comments_;
  Metadata seekTable_;
  Metadata picture_;
  Metadata padding_;
  std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder_;
  PcmFormat format_;
  uint64_t position_ = 0;  // where libFLAC writes next
  bool open_ = false;
  bool closing_ = false;       // libFLAC writes nothing more once the file is finished or dropped
  std::vector<int32_t> left_;  // 16-bit blocks widened into libFLAC's 32-bit cells
  std::vector<int32_t> right_;
  // Of frames appended from elsewhere: where the first one began, and each one's offset
  // from it (for the seek table), samples and size.
  uint64_t framesStart_ = 0;
  std::vector<uint64_t> frameOffsets_;
  uint32_t smallestFrame_ = 0;
  uint32_t largestFrame_ = 0;
};

}  // namespace sonorell
