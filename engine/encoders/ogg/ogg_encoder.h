#pragma once

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/ogg_page_writer.h"
#include "engine/encoders/ogg_stream_serial.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/staged_output.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"

namespace sonorell {

// Converts one file to Ogg Vorbis with the OGG options of the run, tags as Vorbis comments.
int EncodeOggFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context);

// What the OGG options make of a source: output rate and channels, nominal bit rate.
struct OggParameters {
  int rate = 0;
  int channels = 0;
  int kbps = 0;
  bool operator==(const OggParameters&) const = default;
};

// sourceKbps is the source's GetBitrate, used for MP3 and Ogg sources.
OggParameters DecideOggParameters(const Settings& settings, InputTypeCode inputType,
                                  const PcmFormat& source, int sourceKbps);

// The conditioning before libvorbis: everything arrives as 16-bit samples at the output's
// rate and channel count.
ConditioningPlan PlanOggConditioning(const Settings& settings, const PcmFormat& source,
                                     const OggParameters& parameters);

// libvorbisenc and libogg on a staged output file: one logical stream, the three header
// packets on pages of their own, then audio pages, the last one marked end of stream.
class VorbisEncoder : public FormatWriter {
 public:
  explicit VorbisEncoder(StagedOutput& out);
  ~VorbisEncoder() override;
  VorbisEncoder(const VorbisEncoder&) = delete;
  VorbisEncoder& operator=(const VorbisEncoder&) = delete;

  // Quality-driven variable bit rate around the nominal one, bit-rate management off.
  // False when libvorbisenc has no set-up for the combination.
  bool Configure(int rate, int channels, int kbps);
  // The comments of the header (OggCommentFields), before WriteHeaders.
  void AddComments(const std::vector<CommentField>& fields);
  bool WriteHeaders(int serial);

  // 16-bit planar frames; the right buffer only for two channels. An empty block writes
  // nothing: only Finish ends the stream.
  bool WritePcm(const void* left, const void* right, int frames) override;
  // Ends the stream (once) and writes its last pages.
  bool Finish() override;

 private:
  // Encodes what libvorbis has buffered and writes the pages libogg releases.
  bool Drain();

  StagedOutput& out_;
  vorbis_info info_{};
  vorbis_comment comment_{};
  vorbis_dsp_state dsp_{};
  vorbis_block block_{};
  std::optional<OggPageWriter> pages_;  // from WriteHeaders on
  int channels_ = 0;
  bool configured_ = false;
  bool dspReady_ = false;
  bool blockReady_ = false;
  bool ended_ = false;
};

}  // namespace sonorell
