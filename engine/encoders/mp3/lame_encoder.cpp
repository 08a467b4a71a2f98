#include "engine/encoders/mp3/lame_encoder.h"

#include <algorithm>
#include <cstdarg>

#include "engine/encoders/mp3/mp3_options.h"

namespace sonorell {
namespace {

// LAME talks to stderr unless told otherwise; failures reach the user as notes instead.
void Silent(const char*, va_list) {}

}  // namespace

bool LameEncoder::Open() {
  lame_.reset(lame_init());
  accepted_ = false;
  if (!lame_) return false;
  lame_set_errorf(lame_.get(), Silent);
  lame_set_debugf(lame_.get(), Silent);
  lame_set_msgf(lame_.get(), Silent);
  buffer_.assign(kOutputBufferBytes, 0);
  return true;
}

bool LameEncoder::Accept(const Mp3Parameters& p, int channels) {
  if (!lame_ || accepted_) return false;
  lame_global_flags* gf = lame_.get();
  lame_set_in_samplerate(gf, p.inRate);
  lame_set_num_channels(gf, std::clamp(channels, 1, 2));
  if (p.mode) {
    const int mode = *p.mode;
    // Anything but stereo, joint stereo and mono is sent as stereo.
    const bool known =
        mode == kMp3ModeStereo || mode == kMp3ModeJointStereo || mode == kMp3ModeMono;
    lame_set_mode(gf, static_cast<MPEG_mode>(known ? mode : kMp3ModeStereo));
  }
  lame_set_out_samplerate(gf, p.outRate);
  if (p.kbps) lame_set_brate(gf, std::clamp(*p.kbps, 8, 320));
  lame_set_bWriteVbrTag(gf, 0);
  lame_set_VBR(gf, vbr_off);
  accepted_ = lame_init_params(gf) >= 0;
  return accepted_;
}

bool LameEncoder::Encode(const void* left, const void* right, int frames, const ByteSink& sink) {
  if (!accepted_ || left == nullptr) return false;
  const auto* l = static_cast<const short*>(left);
  const auto* r = static_cast<const short*>(right);
  const bool stereo = lame_get_num_channels(lame_.get()) == 2;
  if (stereo && r == nullptr) return false;
  // Blocks larger than LAME's worst case for the buffer go in pieces.
  for (int done = 0; done < frames;) {
    const int n = std::min(frames - done, kMaxFramesPerCall);
    const int bytes = lame_encode_buffer(lame_.get(), l + done, stereo ? r + done : nullptr, n,
                                         buffer_.data(), static_cast<int>(buffer_.size()));
    if (bytes < 0) return false;
    if (bytes > 0 && !sink(buffer_.data(), static_cast<size_t>(bytes))) return false;
    done += n;
  }
  return true;
}

bool LameEncoder::Flush(const ByteSink& sink) {
  if (!accepted_) return false;
  const int bytes =
      lame_encode_flush(lame_.get(), buffer_.data(), static_cast<int>(buffer_.size()));
  return bytes >= 0 && (bytes == 0 || sink(buffer_.data(), static_cast<size_t>(bytes)));
}

int LameEncoder::OutRate() const {
  return lame_get_out_samplerate(lame_.get());
}

int LameEncoder::FrameSamples() const {
  return lame_get_framesize(lame_.get());
}

int LameEncoder::EncoderDelay() const {
  return lame_get_encoder_delay(lame_.get());
}

bool LameEncoder::ConstantBitRate() const {
  return lame_get_VBR(lame_.get()) == vbr_off;
}

int LameEncoder::GranuleBytesPerChannel() const {
  const int rate = OutRate();
  const int channels = lame_get_mode(lame_.get()) == MONO ? 1 : 2;
  if (rate <= 0) return 0;
  return static_cast<int>(int64_t{lame_get_brate(lame_.get())} * 1000 / 8 * 576 / rate / channels);
}

}  // namespace sonorell
