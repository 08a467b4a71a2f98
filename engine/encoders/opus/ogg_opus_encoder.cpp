#include "engine/encoders/opus/ogg_opus_encoder.h"

#include <string>

#include "engine/dsp/interleave.h"
#include "engine/encoders/encoder_failure.h"
#include "engine/encoders/opus/opus_gain_tags.h"
#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

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

int DropPage(void*, const unsigned char*, opus_int32) {
  return 0;
}

int CloseNothing(void*) {
  return 0;
}

constexpr OpusEncCallbacks kPagesDropped{DropPage, CloseNothing};

}  // namespace

bool OggOpusEncoder::Open(const OpusEncCallbacks& callbacks, void* output, int rate, int channels,
                          const OpusParameters& p, int serial,
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
      ope_encoder_create_callbacks(&callbacks, output, comments_.get(), rate, channels, 0, &error));
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

bool OggOpusEncoder::OpenForPackets(OpusPackets& packets, int64_t keyframe, int rate, int channels,
                                    const OpusParameters& parameters, int serial,
                                    const std::vector<CommentField>& comments) {
  if (!Open(kPagesDropped, nullptr, rate, channels, parameters, serial, comments)) return false;
  sink_ = PacketSink{&packets, encoder_.get(), keyframe};
  return ope_encoder_ctl(encoder_.get(), OPE_SET_PACKET_CALLBACK(TakePacket, &sink_)) == OPE_OK;
}

void OggOpusEncoder::TakePacket(void* sink, const unsigned char* data, opus_int32 size,
                                opus_uint32 /*flags*/) {
  auto& s = *static_cast<PacketSink*>(sink);
  s.packets->emplace_back(data, data + size);
  // libopusenc calls back after each packet, and encodes the next with the prediction
  // setting it finds then.
  const auto audio = static_cast<int64_t>(s.packets->size()) - 3;  // after the two headers
  if (s.keyframe >= 0 && (audio + 1 == s.keyframe || audio == s.keyframe)) {
    ope_encoder_ctl(s.encoder, OPUS_SET_PREDICTION_DISABLED(audio + 1 == s.keyframe ? 1 : 0));
  }
}

bool OggOpusEncoder::FlushHeader() {
  if (!encoder_ || ope_encoder_flush_header(encoder_.get()) != OPE_OK) {
    NoteEncoderFailure("Opus", EncoderFailure::kNotStarted);
    return false;
  }
  return true;
}

bool OggOpusEncoder::Write(const void* left, const void* right, int frames) {
  if (!encoder_ || drained_ || left == nullptr) return false;
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
  return true;
}

bool OggOpusEncoder::Drain() {
  if (!encoder_ || drained_) return false;
  drained_ = true;
  if (ope_encoder_drain(encoder_.get()) != OPE_OK) {
    NoteEncoderFailure("Opus", EncoderFailure::kAtTheEnd);
    return false;
  }
  return true;
}

}  // namespace sonorell
