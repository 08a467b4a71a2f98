#include "engine/encoders/opus/opus_encoder.h"

#include "engine/dsp/interleave.h"
#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/encode_pipeline.h"
#include "engine/encoders/encoder_failure.h"
#include "engine/encoders/ogg_stream_serial.h"
#include "engine/encoders/opus/opus_gain_tags.h"
#include "engine/encoders/tags/output_extras.h"
#include "engine/encoders/tags/output_tags.h"
#include "engine/encoders/tags/tag_mode.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"
#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

// Synthesised inputs are rendered at the rate Opus decodes at.
constexpr int kOpusRate = 48000;

// libopusenc's pages go to the staged output; a failed write is remembered there (with its
// reason as the failure note) and stops the file at the next block.
int WritePage(void* output, const unsigned char* data, opus_int32 size) {
  return static_cast<StagedOutput*>(output)->Write(data, static_cast<size_t>(size)) ? 0 : 1;
}

// The staged output is closed by its own owner.
int KeepOpen(void*) {
  return 0;
}

constexpr OpusEncCallbacks kCallbacks{WritePage, KeepOpen};

const char* RateControlName(OpusRateControl control) {
  switch (control) {
    case OpusRateControl::kConstrainedVariable:
      return "constrained variable bit rate";
    case OpusRateControl::kConstant:
      return "constant bit rate";
    case OpusRateControl::kVariable:
      break;
  }
  return "variable bit rate";
}

}  // namespace

bool OggOpusWriter::Open(int rate, int channels, const OpusParameters& p, int serial,
                         const std::vector<CommentField>& comments) {
  if (encoder_ || (channels != 1 && channels != 2)) return false;
  comments_.reset(ope_comments_create());
  if (!comments_) {
    NoteEncoderFailure("Opus", EncoderFailure::kNotStarted);
    return false;
  }
  for (const CommentField& field : comments) {
    if (ope_comments_add(comments_.get(), field.name, field.value.c_str()) != OPE_OK) {
      SetFailureNote(std::string("the Opus encoder refused the ") + field.name + " tag");
      return false;
    }
  }
  int error = OPE_OK;
  encoder_.reset(
      ope_encoder_create_callbacks(&kCallbacks, &out_, comments_.get(), rate, channels, 0, &error));
  if (!encoder_ || error != OPE_OK) {
    encoder_.reset();
    SetFailureNote("the Opus encoder refused " + std::to_string(rate) + " Hz " +
                   (channels == 2 ? "stereo" : "mono"));
    return false;
  }
  channels_ = channels;
  const auto refused = [](const std::string& what) {
    SetFailureNote("the Opus encoder refused " + what);
    return false;
  };
  if (ope_encoder_ctl(encoder_.get(), OPE_SET_SERIALNO(serial)) != OPE_OK) {
    return refused("the stream serial " + std::to_string(serial));
  }
  if (ope_encoder_ctl(encoder_.get(), OPE_SET_COMMENT_PADDING(kOpusCommentPadding)) != OPE_OK) {
    return refused("room after the comments");
  }
  if (ope_encoder_ctl(encoder_.get(), OPUS_SET_BITRATE(p.kbps * 1000)) != OPE_OK) {
    return refused(std::to_string(p.kbps) + " kbps");
  }
  const bool variable = p.rateControl != OpusRateControl::kConstant;
  const bool constrained = p.rateControl == OpusRateControl::kConstrainedVariable;
  if (ope_encoder_ctl(encoder_.get(), OPUS_SET_VBR(variable ? 1 : 0)) != OPE_OK ||
      (variable &&
       ope_encoder_ctl(encoder_.get(), OPUS_SET_VBR_CONSTRAINT(constrained ? 1 : 0)) != OPE_OK)) {
    return refused(RateControlName(p.rateControl));
  }
  if (ope_encoder_ctl(encoder_.get(), OPUS_SET_COMPLEXITY(p.complexity)) != OPE_OK) {
    return refused("complexity " + std::to_string(p.complexity));
  }
  return true;
}

bool OggOpusWriter::WritePcm(const void* left, const void* right, int frames) {
  if (!encoder_ || finished_ || left == nullptr) return false;
  if (frames <= 0) return true;
  if (channels_ == 2 && right == nullptr) return false;
  const auto* pcm = static_cast<const opus_int16*>(left);
  if (channels_ == 2) {
    interleaved_.resize(static_cast<size_t>(frames) * 2);
    InterleaveBlock(left, right, frames, 2, sizeof(opus_int16), interleaved_.data());
    pcm = interleaved_.data();
  }
  if (ope_encoder_write(encoder_.get(), pcm, frames) != OPE_OK) {
    NoteEncoderFailure("Opus", EncoderFailure::kOnTheAudio);
    return false;
  }
  return !out_.Failed();
}

bool OggOpusWriter::Finish() {
  if (!encoder_ || finished_) return false;
  finished_ = true;
  if (ope_encoder_drain(encoder_.get()) != OPE_OK) {
    NoteEncoderFailure("Opus", EncoderFailure::kAtTheEnd);
    return false;
  }
  return !out_.Failed();
}

int EncodeOpusFile(InputTypeCode inputType, const std::string& sourcePath,
                   const std::string& targetPath, ConvertProgress& progress,
                   const EncodeContext& context) {
  const Settings& s = context.settings;
  EncodeRecipe recipe;
  recipe.renderingRate = kOpusRate;
  recipe.replayGain = ReplayGainUnder(s.OpusID3TagType, s.OpusTags.ReplayGain);
  recipe.writeGains = WriteOpusGainTags;
  OpusParameters parameters;
  recipe.plan = [&](AudioSource&, const PcmFormat& delivered, ConditioningPlan& plan) {
    parameters = DecideOpusParameters(s, delivered);
    // The rate stays the source's: libopusenc makes it 48 kHz.
    const PcmFormat wanted{0, parameters.channels, 16};
    plan = PlanConditioning(delivered, wanted, s.MonoType, s.AmplifyOpus != 0, s.AmplifyOpusCoeff);
    return true;
  };
  recipe.openWriter = [&](StagedOutput& out, const ConditioningPlan& plan,
                          AudioSource& source) -> std::unique_ptr<FormatWriter> {
    const std::optional<TagRecord> tags =
        OutputTags(s.OpusID3TagType, s.OpusTags, inputType, sourcePath, source, context);
    const ExtraTags extras =
        OutputExtras(s.OpusID3TagType, s.OpusTags, inputType, sourcePath, context);
    auto writer = std::make_unique<OggOpusWriter>(out);
    if (!writer->Open(plan.output.rate, plan.output.channels, parameters, NextOggStreamSerial(),
                      OggCommentFields(tags ? &*tags : nullptr, extras))) {
      return nullptr;
    }
    return writer;
  };
  return RunEncode(recipe, inputType, sourcePath, targetPath, progress, context);
}

}  // namespace sonorell
