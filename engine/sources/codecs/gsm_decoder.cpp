#include "engine/sources/codecs/gsm_decoder.h"

#include <gsm.h>

namespace sonorell {

void GsmDecoder::Free::operator()(gsm_state* s) const { gsm_destroy(s); }

bool GsmDecoder::Create(bool wav49) {
  state_.reset(gsm_create());
  if (!state_) return false;
  int on = wav49 ? 1 : 0;
  gsm_option(state_.get(), GSM_OPT_WAV49, &on);
  return true;
}

bool GsmDecoder::DecodeFrame(const uint8_t* frame, int16_t* samples) {
  return state_ && gsm_decode(state_.get(), const_cast<gsm_byte*>(frame), samples) == 0;
}

bool GsmDecoder::DecodeWav49Block(const uint8_t* block, int16_t* samples) {
  // The first call reads a 33-byte half, the second the following 32 bytes (libgsm keeps
  // the odd/even state itself).
  return DecodeFrame(block, samples) && DecodeFrame(block + 33, samples + kFrameSamples);
}

}  // namespace sonorell
