#pragma once

#include <cstdint>
#include <memory>

struct gsm_state;

namespace sonorell {

// One libgsm GSM 06.10 decoder. The WAVE flavour packs two frames into 65 bytes (WAV49);
// AIFC and Sun audio store plain 33-byte frames.
class GsmDecoder {
 public:
  static constexpr int kFrameSamples = 160;
  static constexpr int kPlainFrameBytes = 33;
  static constexpr int kWav49BlockBytes = 65;

  // False when libgsm cannot create its state.
  bool Create(bool wav49);
  bool Valid() const { return state_ != nullptr; }

  // Decodes one plain frame (33 bytes) into 160 samples.
  bool DecodeFrame(const uint8_t* frame, int16_t* samples);
  // Decodes one 65-byte WAV49 block into 320 samples.
  bool DecodeWav49Block(const uint8_t* block, int16_t* samples);

 private:
  struct Free {
    void operator()(gsm_state* s) const;
  };
  std::unique_ptr<gsm_state, Free> state_;
};

}  // namespace sonorell
