#pragma once

#include <string>
#include <utility>

#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/mp3/lame_encoder.h"
#include "engine/encoders/mp3/mp3_tag_blocks.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/staged_output.h"
#include "engine/sources/audio_source.h"

namespace sonorell {

// Converts one file to MP3 with the MP3 options of the run, tags placed around the audio.
int EncodeMp3File(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context);

// What the source reports that the MP3 options depend on.
struct Mp3SourceFacts {
  int rate = 0;
  int channels = 0;     // GetOutputChannels
  int channelMode = 4;  // GetChannelMode, MPEG numbering; only MP3 sources report one
  int kbps = 0;         // GetBitrate, used for MP3 and Ogg sources
};

Mp3Parameters DecideMp3Parameters(const Settings& settings, InputTypeCode inputType,
                                  const Mp3SourceFacts& source);

// The conditioning before LAME: a picked channel, 8-bit samples widened to 16, the gain.
// The rate stays; a stereo source for mono output goes to LAME whole, which mixes it.
ConditioningPlan PlanMp3Conditioning(const Settings& settings, const PcmFormat& source,
                                     const Mp3Parameters& parameters);

// LAME on a staged output file: constant bit rate, no Xing/Info frame, an optional ID3v2
// tag before the audio and an optional ID3v1 tag after it.
class Mp3Encoder : public FormatWriter {
 public:
  explicit Mp3Encoder(StagedOutput& out) : out_(out) {}

  // Creates the LAME instance; false when it cannot be created.
  bool Open();
  void SetTags(Mp3TagBlocks tags) { tags_ = std::move(tags); }

  // Fixes the parameters for channels and writes the ID3v2 tag. False when LAME refuses
  // them (Accepted() stays false) or the tag cannot be written.
  bool AcceptParameters(const Mp3Parameters& parameters, int channels);

  // 16-bit planar frames; the right buffer only with two LAME channels.
  bool WritePcm(const void* left, const void* right, int frames) override;
  // The audio LAME still holds, then the ID3v1 tag.
  bool Finish() override;

  bool Accepted() const { return lame_.Accepted(); }

 private:
  StagedOutput& out_;
  LameEncoder lame_;
  Mp3TagBlocks tags_;
  bool finished_ = false;
};

// Which ReplayGain tags the MP3 options ask for (TagDefaults::ReplayGain): none when no tags
// are written or no ID3v2 tag, which alone holds them.
int Mp3ReplayGain(const Settings& settings);

// The tags of one MP3 file, for its writer. Transfer
// from an MP3 source copies the source's own ID3v1 and ID3v2 blocks (whichever it has,
// whatever version the options name), the ID3v2 tag edited: its pictures and gain tags give
// way to the file's cover (OutputExtras). Every other case renders the resolved tags and
// the extras as the options' ID3 version(s) ask, noting replaced text in context.notes. A
// picture too large for an ID3v2 tag is left out with a cover note. With ReplayGain the
// ID3v2 tag gets padding for the gain tags.
void ApplyMp3Tags(Mp3TagBlocks& tags, const Settings& settings, InputTypeCode inputType,
                  const std::string& sourcePath, AudioSource& source, const EncodeContext& context);

}  // namespace sonorell
