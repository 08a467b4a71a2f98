#pragma once

#include <lame/lame.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/staged_output.h"
#include "engine/sources/audio_source.h"

namespace sonorell {

// Converts one file to MP3 with the MP3 options of the run, tags placed around the audio.
int EncodeMp3File(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context);

// What the MP3 options make of a source, as handed to LAME.
struct Mp3Parameters {
  int inRate = 0;           // the source's rate: LAME resamples to outRate itself
  int lameChannels = 0;     // channels LAME receives (1 when one channel is picked)
  int outRate = 0;          // Hz
  std::optional<int> mode;  // MPEG mode; none with automatic parameters
  std::optional<int> kbps;  // constant bit rate; none leaves LAME's default
  int pickedChannel = 0;    // 1 left, 2 right: one channel of a stereo source, unmixed
};

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
  static constexpr size_t kOutputBufferBytes = 16384;  // above LAME's worst case per block
  static constexpr int kMaxFramesPerCall = 1152;

  explicit Mp3Encoder(StagedOutput& out) : out_(out) {}

  // Creates the LAME instance; false when it cannot be created.
  bool Open();

  void SetInSampleRate(int hz);
  void SetChannels(int channels);  // forced into 1 .. 2
  void SetOutSampleRate(int hz);
  void SetMode(int mode);     // 0 stereo, 1 joint stereo, 3 mono; anything else is sent as 0
  void SetBitrate(int kbps);  // forced into 8 .. 320

  // Tag blocks, copied. The ID3v1 block is taken only when it is exactly 128 bytes.
  bool SetId3v1Tag(std::span<const uint8_t> block);
  void SetId3v2Tag(std::span<const uint8_t> block);

  // Fixes the parameters (constant bit rate, no Xing/Info frame) and writes the ID3v2 tag.
  // False when LAME refuses them or the tag cannot be written.
  bool AcceptParameters();

  // 16-bit planar frames; the right buffer only with two LAME channels.
  bool WritePcm(const void* left, const void* right, int frames) override;
  // The audio LAME still holds, then the ID3v1 tag.
  bool Finish() override;

  bool Accepted() const { return accepted_; }

 private:
  struct LameCloser {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
  };

  bool WriteOutput(int bytes);

  StagedOutput& out_;
  std::unique_ptr<lame_global_flags, LameCloser> lame_;
  bool accepted_ = false;
  bool finished_ = false;
  std::vector<uint8_t> buffer_;
  std::optional<std::vector<uint8_t>> id3v1_;
  std::optional<std::vector<uint8_t>> id3v2_;
};

// Which ReplayGain tags the MP3 options ask for (TagDefaults::ReplayGain): none when no tags
// are written or no ID3v2 tag, which alone holds them.
int Mp3ReplayGain(const Settings& settings);

// The tags of one MP3 file, set on the encoder before its parameters are accepted. Transfer
// from an MP3 source copies the source's own ID3v1 and ID3v2 blocks (whichever it has,
// whatever version the options name), the ID3v2 tag edited: its pictures and gain tags give
// way to the file's cover (OutputExtras). Every other case renders the resolved tags and
// the extras as the options' ID3 version(s) ask, noting replaced text in context.notes. A
// picture too large for an ID3v2 tag is left out with a cover note. With ReplayGain the
// ID3v2 tag gets padding for the gain tags.
void ApplyMp3Tags(Mp3Encoder& encoder, const Settings& settings, InputTypeCode inputType,
                  const std::string& sourcePath, AudioSource& source, const EncodeContext& context);

}  // namespace sonorell
