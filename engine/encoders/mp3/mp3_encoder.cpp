#include "engine/encoders/mp3/mp3_encoder.h"

#include <algorithm>
#include <cstring>

#include "engine/encoders/auto_rate_bitrate.h"
#include "engine/encoders/encode_pipeline.h"
#include "engine/encoders/encoder_failure.h"
#include "engine/encoders/mp3/mp3_gain_tags.h"
#include "engine/encoders/mp3/mp3_options.h"
#include "engine/encoders/mp3/mp3_split.h"
#include "engine/encoders/tags/build_id3_tag.h"
#include "engine/encoders/tags/id3v2_frames.h"
#include "engine/encoders/tags/output_extras.h"
#include "engine/encoders/tags/output_tags.h"
#include "engine/encoders/tags/tag_mode.h"
#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

constexpr size_t kId3v2HeaderBytes = 10;

}  // namespace

int Mp3ReplayGain(const Settings& s) {
  const bool writesV2 =
      s.MP3WriteID3Version == kWriteId3v2 || s.MP3WriteID3Version == kWriteId3v1AndV2;
  return writesV2 ? ReplayGainUnder(s.MP3ID3TagType, s.Mp3Tags.ReplayGain) : 0;
}

void ApplyMp3Tags(Mp3TagBlocks& blocks, const Settings& s, InputTypeCode inputType,
                  const std::string& sourcePath, AudioSource& source,
                  const EncodeContext& context) {
  ExtraTags extras = OutputExtras(s.MP3ID3TagType, s.Mp3Tags, inputType, sourcePath, context);
  if (extras.cover && !PictureFitsId3v2(*extras.cover)) {
    if (context.notes) context.notes->coverNote = "it is larger than an ID3v2 tag holds";
    extras.cover.reset();
  }
  // Room for the gain tags written once the audio is done.
  const size_t padding = Mp3ReplayGain(s) != 0 ? kId3v2GainRoom : 0;
  if (TagModeOf(s.MP3ID3TagType) == TagMode::kTransfer && inputType == kInputMp3) {
    // The source's own blocks, whatever version the options name. Only blocks that really
    // are ID3 tags are placed around the audio. The ID3v2 tag loses its pictures and gains
    // for this file's own; one that cannot be taken apart goes as it is.
    if (const uint8_t* v1 = source.GetId3v1Tag(); v1 && std::memcmp(v1, "TAG", 3) == 0) {
      blocks.SetId3v1({v1, Mp3TagBlocks::kId3v1Bytes});
    }
    size_t size = 0;
    if (const uint8_t* v2 = source.GetId3v2Tag(size);
        v2 && size >= kId3v2HeaderBytes && std::memcmp(v2, "ID3", 3) == 0) {
      const std::span<const uint8_t> block(v2, size);
      if (const auto edited = EditCopiedId3v2Tag(block, extras.cover, padding)) {
        blocks.SetId3v2(*edited);
      } else {
        blocks.SetId3v2(block);
      }
    } else if (extras.cover || padding > 0) {
      // No tag to copy, but a picture (beside the source) or gains to carry.
      if (const auto block = BuildId3Tag(kId3v2, TagRecord{}, extras, padding)) {
        blocks.SetId3v2(*block);
      }
    }
    return;
  }
  const std::optional<TagRecord> tags =
      OutputTags(s.MP3ID3TagType, s.Mp3Tags, inputType, sourcePath, source, context);
  const int version = s.MP3WriteID3Version;
  if (tags && (version == kWriteId3v1 || version == kWriteId3v1AndV2)) {
    if (const auto block = BuildId3Tag(kId3v1, *tags)) blocks.SetId3v1(*block);
  }
  // A source without texts still gets a tag for its picture and the room for its gains.
  const bool extrasOnly =
      !tags && TagModeOf(s.MP3ID3TagType) != TagMode::kNone && (extras.cover || padding > 0);
  if ((tags || extrasOnly) && (version == kWriteId3v2 || version == kWriteId3v1AndV2)) {
    if (const auto block = BuildId3Tag(kId3v2, tags.value_or(TagRecord{}), extras, padding)) {
      blocks.SetId3v2(*block);
    }
  }
}

Mp3Parameters DecideMp3Parameters(const Settings& s, InputTypeCode inputType,
                                  const Mp3SourceFacts& source) {
  Mp3Parameters p;
  p.inRate = source.rate;
  if (s.AutoDestMP3EncodingParam) {
    const RateAndBitrate automatic = AutoRateAndBitrate(source.rate, source.channels);
    p.lameChannels = source.channels;
    p.outRate = automatic.rate;
    p.kbps = automatic.kbps;
    return p;
  }

  int mode = s.MP3ChannelMode;
  if (mode == kMp3ModeSameAsSource) {
    const bool reported =
        source.channelMode >= kMp3ModeStereo && source.channelMode <= kMp3ModeMono;
    if (inputType == kInputMp3 && reported) {
      mode = source.channelMode;
    } else {
      // Sources other than MP3 (and MP3 sources that do not say) keep their channel count.
      mode = source.channels == 2 ? kMp3ModeJointStereo : kMp3ModeMono;
    }
  }
  const int outputChannels = mode == kMp3ModeMono ? 1 : 2;
  // One channel of a stereo source for mono output when the user chose left or right;
  // otherwise LAME takes the source as it is and mixes (L+R)/2 itself.
  const bool picks =
      source.channels == 2 && mode == kMp3ModeMono && (s.MonoType == 1 || s.MonoType == 2);
  p.pickedChannel = picks ? s.MonoType : 0;
  p.lameChannels = picks ? 1 : source.channels;
  p.mode = mode;
  p.outRate =
      NearestListedValue(s.MP3SampleRate != 0 ? s.MP3SampleRate : source.rate, kMp3SampleRates);

  const int kbps =
      StoredOrSourceKbps(s.MP3BitRate, inputType, source.kbps, p.outRate, outputChannels);
  if (kbps > 0) p.kbps = LimitMp3Bitrate(NearestListedValue(kbps, kMp3Bitrates), p.outRate);
  return p;
}

ConditioningPlan PlanMp3Conditioning(const Settings& s, const PcmFormat& source,
                                     const Mp3Parameters& parameters) {
  const PcmFormat wanted{source.rate, parameters.lameChannels, 16};
  ConditioningPlan plan = PlanConditioning(source, wanted, parameters.pickedChannel,
                                           s.AmplifyMp3 != 0, s.AmplifyMp3Coeff);
  return plan;
}

bool Mp3Encoder::Open() {
  finished_ = false;
  return lame_.Open();
}

bool Mp3Encoder::AcceptParameters(const Mp3Parameters& parameters, int channels) {
  // A failed write leaves its reason as the failure note.
  return lame_.Accept(parameters, channels) && tags_.WriteId3v2(out_);
}

bool Mp3Encoder::WritePcm(const void* left, const void* right, int frames) {
  if (!Accepted() || finished_ || left == nullptr) return false;
  const auto write = [this](const uint8_t* data, size_t size) { return out_.Write(data, size); };
  if (lame_.Encode(left, right, frames, write)) return true;
  // A failed write has left its own note.
  if (!out_.Failed()) NoteEncoderFailure("MP3", EncoderFailure::kOnTheAudio);
  return false;
}

bool Mp3Encoder::Finish() {
  // Nothing can be flushed from an encoder that never accepted its parameters.
  if (!Accepted() || finished_) return false;
  finished_ = true;
  const auto write = [this](const uint8_t* data, size_t size) { return out_.Write(data, size); };
  if (!lame_.Flush(write)) {
    if (!out_.Failed()) NoteEncoderFailure("MP3", EncoderFailure::kAtTheEnd);
    return false;
  }
  return tags_.WriteId3v1(out_) && !out_.Failed();
}

int EncodeMp3File(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context) {
  const Settings& s = context.settings;
  EncodeRecipe recipe;
  recipe.renderingRate =
      (s.AutoDestMP3EncodingParam || s.MP3SampleRate < 1) ? 44100 : s.MP3SampleRate;
  recipe.replayGain = Mp3ReplayGain(s);
  recipe.writeGains = WriteMp3GainTags;
  Mp3Parameters parameters;
  recipe.plan = [&](AudioSource& source, const PcmFormat& delivered, ConditioningPlan& plan) {
    const Mp3SourceFacts facts{delivered.rate, delivered.channels, source.GetChannelMode(),
                               source.GetBitrate()};
    parameters = DecideMp3Parameters(s, inputType, facts);
    if (!CheckRatesConvertible(parameters.inRate, parameters.outRate, "an MP3 file")) return false;
    plan = PlanMp3Conditioning(s, delivered, parameters);
    return true;
  };
  // The tags are built once, for whichever writer takes the file (their notes with them).
  std::optional<Mp3TagBlocks> tags;
  const auto tagsFor = [&](AudioSource& source) {
    if (!tags) ApplyMp3Tags(tags.emplace(), s, inputType, sourcePath, source, context);
    return *tags;
  };
  recipe.openSplit = [&](StagedOutput& out, const ConditioningPlan& plan, AudioSource& source) {
    return OpenMp3Split(out, parameters, plan.output.channels, tagsFor(source));
  };
  recipe.openWriter = [&](StagedOutput& out, const ConditioningPlan& plan,
                          AudioSource& source) -> std::unique_ptr<FormatWriter> {
    auto encoder = std::make_unique<Mp3Encoder>(out);
    if (!encoder->Open()) {
      NoteEncoderFailure("MP3", EncoderFailure::kNotStarted);
      return nullptr;
    }
    encoder->SetTags(tagsFor(source));
    if (!encoder->AcceptParameters(parameters, plan.output.channels)) {
      if (!encoder->Accepted()) {
        SetFailureNote("the MP3 encoder refused " + std::to_string(parameters.outRate) + " Hz" +
                       (parameters.kbps ? " at " + std::to_string(*parameters.kbps) + " kbps"
                                        : std::string()));
      }
      return nullptr;
    }
    return encoder;
  };
  return RunEncode(recipe, inputType, sourcePath, targetPath, progress, context);
}

}  // namespace sonorell
