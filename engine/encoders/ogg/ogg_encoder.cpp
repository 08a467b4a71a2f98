#include "engine/encoders/ogg/ogg_encoder.h"

#include <vorbis/vorbisenc.h>

#include "engine/dsp/float_samples.h"
#include "engine/encoders/auto_rate_bitrate.h"
#include "engine/encoders/encode_pipeline.h"
#include "engine/encoders/ogg/ogg_gain_tags.h"
#include "engine/encoders/ogg/ogg_options.h"
#include "engine/encoders/tags/output_extras.h"
#include "engine/encoders/tags/output_tags.h"
#include "engine/encoders/tags/tag_mode.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"
#include "engine/sources/failure_note.h"

namespace sonorell {

OggParameters DecideOggParameters(const Settings& s, InputTypeCode inputType,
                                  const PcmFormat& source, int sourceKbps) {
  OggParameters p;
  if (s.AutoDestOGGEncodingParam) {
    const RateAndBitrate automatic = AutoRateAndBitrate(source.rate, source.channels);
    p.rate = automatic.rate;
    p.channels = source.channels;
    p.kbps = automatic.kbps;
    return p;
  }
  p.rate =
      NearestListedValue(s.OGGSampleRate != 0 ? s.OGGSampleRate : source.rate, kOggSampleRates);
  // A stored channel count other than 1 or 2 means the source's, as the page shows it.
  p.channels = (s.OGGChannels == 1 || s.OGGChannels == 2) ? s.OGGChannels : source.channels;
  const int kbps = NearestListedValue(
      StoredOrSourceKbps(s.OGGBitRate, inputType, sourceKbps, p.rate, p.channels), kOggBitrates);
  p.kbps = IntoVorbisBitrateRange(kbps, p.rate, p.channels != 2);
  return p;
}

ConditioningPlan PlanOggConditioning(const Settings& s, const PcmFormat& source,
                                     const OggParameters& parameters) {
  const PcmFormat wanted{parameters.rate, parameters.channels, 16};
  // With automatic parameters the channels are the source's, so nothing is picked or mixed.
  return PlanConditioning(source, wanted, s.MonoType, s.AmplifyOGG != 0, s.AmplifyOGGCoeff);
}

VorbisEncoder::VorbisEncoder(StagedOutput& out) : out_(out) {
  vorbis_info_init(&info_);
  vorbis_comment_init(&comment_);
}

VorbisEncoder::~VorbisEncoder() {
  // The stream is ended by Finish only: after a failure the file is discarded anyway.
  if (blockReady_) vorbis_block_clear(&block_);
  if (dspReady_) vorbis_dsp_clear(&dsp_);
  vorbis_comment_clear(&comment_);
  vorbis_info_clear(&info_);
}

bool VorbisEncoder::Configure(int rate, int channels, int kbps) {
  if (configured_ || rate <= 0 || (channels != 1 && channels != 2) || kbps <= 0) return false;
  channels_ = channels;
  if (vorbis_encode_setup_managed(&info_, channels, rate, -1, static_cast<long>(kbps) * 1000, -1) !=
      0) {
    return false;
  }
  // Management off: quality-driven variable bit rate around the nominal value.
  if (vorbis_encode_ctl(&info_, OV_ECTL_RATEMANAGE2_SET, nullptr) != 0) return false;
  if (vorbis_encode_setup_init(&info_) != 0) return false;
  configured_ = true;
  return true;
}

void VorbisEncoder::AddComments(const std::vector<CommentField>& fields) {
  for (const CommentField& field : fields) {
    vorbis_comment_add_tag(&comment_, field.name, field.value.c_str());
  }
}

bool VorbisEncoder::WriteHeaders(int serial) {
  if (!configured_ || dspReady_) return false;
  if (vorbis_analysis_init(&dsp_, &info_) != 0) return false;
  dspReady_ = true;
  if (vorbis_block_init(&dsp_, &block_) != 0) return false;
  blockReady_ = true;
  pages_.emplace(out_, serial, OggFlushFill::kLibogg);

  ogg_packet identification;
  ogg_packet comments;
  ogg_packet setup;
  if (vorbis_analysis_headerout(&dsp_, &comment_, &identification, &comments, &setup) != 0) {
    return false;
  }
  // The audio starts on a page of its own.
  return pages_->Add(identification) && pages_->Add(comments) && pages_->Add(setup) &&
         pages_->Flush();
}

bool VorbisEncoder::Drain() {
  while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
    if (vorbis_analysis(&block_, nullptr) != 0) return false;
    if (vorbis_bitrate_addblock(&block_) != 0) return false;
    ogg_packet packet;
    while (vorbis_bitrate_flushpacket(&dsp_, &packet) == 1) {
      if (pages_->Ended()) continue;  // nothing follows the stream's last page
      if (!pages_->Add(packet) || !pages_->WriteFullPages()) return false;
    }
  }
  return true;
}

bool VorbisEncoder::WritePcm(const void* left, const void* right, int frames) {
  if (!pages_ || ended_ || left == nullptr) return false;
  if (frames <= 0) return true;  // an empty block must not end the stream
  if (channels_ == 2 && right == nullptr) return false;
  float** buffer = vorbis_analysis_buffer(&dsp_, frames);
  if (buffer == nullptr) return false;
  Convert16ToFloat(static_cast<const int16_t*>(left), buffer[0], frames);
  if (channels_ == 2) Convert16ToFloat(static_cast<const int16_t*>(right), buffer[1], frames);
  if (vorbis_analysis_wrote(&dsp_, frames) != 0) return false;
  return Drain();
}

bool VorbisEncoder::Finish() {
  if (!pages_ || ended_) return false;
  ended_ = true;
  if (vorbis_analysis_wrote(&dsp_, 0) != 0 || !Drain()) return false;
  // Whatever libogg still holds, the end-of-stream page included.
  return pages_->Flush() && pages_->Ended();
}

int EncodeOggFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context) {
  const Settings& s = context.settings;
  EncodeRecipe recipe;
  recipe.renderingRate =
      (s.AutoDestOGGEncodingParam || s.OGGSampleRate < 1) ? 44100 : s.OGGSampleRate;
  recipe.replayGain = ReplayGainUnder(s.OGGID3TagType, s.OggTags.ReplayGain);
  recipe.writeGains = WriteOggGainTags;
  OggParameters parameters;
  recipe.plan = [&](AudioSource& source, const PcmFormat& delivered, ConditioningPlan& plan) {
    parameters = DecideOggParameters(s, inputType, delivered, source.GetBitrate());
    if (!CheckRatesConvertible(delivered.rate, parameters.rate, "an Ogg Vorbis file")) {
      return false;
    }
    plan = PlanOggConditioning(s, delivered, parameters);
    return true;
  };
  recipe.openWriter = [&](StagedOutput& out, const ConditioningPlan&,
                          AudioSource& source) -> std::unique_ptr<FormatWriter> {
    auto encoder = std::make_unique<VorbisEncoder>(out);
    if (!encoder->Configure(parameters.rate, parameters.channels, parameters.kbps)) {
      SetFailureNote("the Ogg Vorbis encoder cannot make " + std::to_string(parameters.rate) +
                     " Hz " + (parameters.channels == 2 ? "stereo" : "mono") + " at " +
                     std::to_string(parameters.kbps) + " kbps");
      return nullptr;
    }
    const std::optional<TagRecord> tags =
        OutputTags(s.OGGID3TagType, s.OggTags, inputType, sourcePath, source, context);
    const ExtraTags extras =
        OutputExtras(s.OGGID3TagType, s.OggTags, inputType, sourcePath, context);
    encoder->AddComments(OggCommentFields(tags ? &*tags : nullptr, extras));
    if (!encoder->WriteHeaders(NextOggStreamSerial())) return nullptr;
    return encoder;
  };
  return RunEncode(recipe, inputType, sourcePath, targetPath, progress, context);
}

}  // namespace sonorell
