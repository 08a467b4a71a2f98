#pragma once

#include <string>
#include <vector>

#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/opus/ogg_opus_encoder.h"
#include "engine/encoders/opus/opus_parameters.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/staged_output.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"

namespace sonorell {

// Converts one file to Ogg Opus with the Opus options of the run, tags as Opus comments.
int EncodeOpusFile(InputTypeCode inputType, const std::string& sourcePath,
                   const std::string& targetPath, ConvertProgress& progress,
                   const EncodeContext& context);

// Ogg Opus on a staged output file, single-pass: one OggOpusEncoder whose pages are written
// to the file as they come.
class OggOpusWriter : public FormatWriter {
 public:
  explicit OggOpusWriter(StagedOutput& out) : out_(out) {}
  OggOpusWriter(const OggOpusWriter&) = delete;
  OggOpusWriter& operator=(const OggOpusWriter&) = delete;

  // As OggOpusEncoder::Open, on the staged output.
  bool Open(int rate, int channels, const OpusParameters& parameters, int serial,
            const std::vector<CommentField>& comments);

  // 16-bit planar frames; the right buffer only for two channels.
  bool WritePcm(const void* left, const void* right, int frames) override;
  // Encodes what libopusenc still holds and writes the last page, end trimming included.
  bool Finish() override;

 private:
  StagedOutput& out_;
  OggOpusEncoder encoder_;
};

}  // namespace sonorell
