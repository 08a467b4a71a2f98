#pragma once

#include <opus/opusenc.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/opus/opus_parameters.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/staged_output.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"

namespace sonorell {

// Converts one file to Ogg Opus with the Opus options of the run, tags as Opus comments.
int EncodeOpusFile(InputTypeCode inputType, const std::string& sourcePath,
                   const std::string& targetPath, ConvertProgress& progress,
                   const EncodeContext& context);

// libopusenc on a staged output file: one Ogg Opus stream at 48 kHz. It takes 16-bit PCM at
// the source's rate and resamples it itself, as opusenc does, so the stream's header keeps
// the source's rate, and the pre-skip and the end trimming count the resampler's delay.
class OggOpusWriter : public FormatWriter {
 public:
  explicit OggOpusWriter(StagedOutput& out) : out_(out) {}
  OggOpusWriter(const OggOpusWriter&) = delete;
  OggOpusWriter& operator=(const OggOpusWriter&) = delete;

  // Creates the encoder for rate and channels (1 or 2) with the comments (OggCommentFields),
  // the stream serial and the options, and room after the comments for gains written later.
  // False, with a failure note, when libopusenc refuses any of them.
  bool Open(int rate, int channels, const OpusParameters& parameters, int serial,
            const std::vector<CommentField>& comments);

  // 16-bit planar frames; the right buffer only for two channels.
  bool WritePcm(const void* left, const void* right, int frames) override;
  // Encodes what libopusenc still holds and writes the last page, end trimming included.
  bool Finish() override;

 private:
  struct FreeEncoder {
    void operator()(OggOpusEnc* encoder) const { ope_encoder_destroy(encoder); }
  };
  struct FreeComments {
    void operator()(OggOpusComments* comments) const { ope_comments_destroy(comments); }
  };

  StagedOutput& out_;
  std::unique_ptr<OggOpusComments, FreeComments> comments_;
  std::unique_ptr<OggOpusEnc, FreeEncoder> encoder_;
  int channels_ = 0;
  bool finished_ = false;
  std::vector<opus_int16> interleaved_;
};

}  // namespace sonorell
