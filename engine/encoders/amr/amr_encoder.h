#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/pcm_sink.h"
#include "platform/amr/amr_encoders.h"

namespace sonorell {

// Converts one file to ".amr": narrow-band AMR at 8000 Hz, or wide-band AMR at 16000 Hz
// when AMRType asks for it; mono, no tags.
int EncodeAmrFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context);

// Converts one file to ".awb": wide-band AMR at 16000 Hz with the AWB mode and DTX.
int EncodeAwbFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context);

// Which of the two files is written.
enum class AmrFileKind { kAmr, kAwb };

inline constexpr int kAmrNbRate = 8000;
inline constexpr int kAmrWbRate = 16000;
inline constexpr int kAmrNbModeCount = 8;  // 4.75 to 12.2 kbit/s
inline constexpr int kAmrWbModeCount = 9;  // 6.60 to 23.85 kbit/s

// The codec a file gets from the options: ".amr" is narrow band unless AMRType is set, and
// then wide band with AMRWBMode; ".awb" is always wide band with AWBMode and AWBDTX.
struct AmrCodecChoice {
  bool narrowBand = true;
  int rate = kAmrNbRate;
  int mode = 6;
  bool dtx = false;
  bool operator==(const AmrCodecChoice&) const = default;
};
AmrCodecChoice ChooseAmrCodec(const Settings& settings, AmrFileKind kind);

// Everything reaches the codec as 16-bit mono at its rate: a stereo source is mixed or
// gives one channel by MonoType; AmplifyAMR and AmplifyAMRCoef set the gain.
ConditioningPlan PlanAmrConditioning(const Settings& settings, const PcmFormat& source,
                                     int codecRate);

// Splits 16-bit mono PCM into the codec's frames (160 samples narrow band, 320 wide band)
// for the encoder library, which writes the file itself. Whole frames go straight from the
// caller's buffer; only a partial frame waits in the frame buffer until the next call.
class AmrEncoder : public FormatWriter {
 public:
  static constexpr int kNbFrameSamples = 160;
  static constexpr int kWbFrameSamples = 320;

  AmrEncoder() = default;
  ~AmrEncoder() override;  // as Close
  AmrEncoder(const AmrEncoder&) = delete;
  AmrEncoder& operator=(const AmrEncoder&) = delete;

  // Closes an open encoder, then chooses the codec and its frame size; DTX off, both
  // modes 6. The file is named only at Open. Always 1.
  int Prepare(const std::string& path, bool narrowBand);
  void SetDtx(bool dtx) { dtx_ = dtx; }
  void SetNbMode(int mode) { nbMode_ = mode; }
  void SetWbMode(int mode) { wbMode_ = mode; }

  // 1 when the library started on the file at path; 0 when it has no such mode, the file
  // cannot be created, or the encoder was not prepared.
  int Open(const std::string& path);
  // Frames the samples and encodes every complete frame. 1 on success; 0 when the encoder
  // is not open or a frame could not be encoded or written (the file is then spoilt and
  // every later call fails too).
  int Encode(const int16_t* samples, int count);
  // Pads a partial last frame with silence and encodes it, then lets the library finish
  // and close the file. True when the whole file was written; false when anything since
  // Open failed or nothing was open. Afterwards the encoder is unprepared: no handle, no
  // frame size, narrow band, DTX off, both modes 6.
  bool Close();

  // The conditioned mono block (the right buffer is unused).
  bool WritePcm(const void* left, const void* right, int frames) override;
  bool Finish() override;

  bool IsOpen() const { return nb_ != nullptr || wb_ != nullptr; }
  bool NarrowBand() const { return narrowBand_; }
  int FrameSize() const { return frameSize_; }
  int Buffered() const { return fill_; }
  bool Dtx() const { return dtx_; }
  int NbMode() const { return nbMode_; }
  int WbMode() const { return wbMode_; }
  // Frames handed to the library since Open.
  long FramesEncoded() const { return framesEncoded_; }

 private:
  struct NbCloser {
    void operator()(platform::AmrNbEncoder* encoder) const { platform::amrnbenc_quit(encoder); }
  };
  struct WbCloser {
    void operator()(platform::AmrWbEncoder* encoder) const { platform::amrwbenc_quit(encoder); }
  };

  bool EncodeFrame(const int16_t* frame);
  void Reset();

  bool narrowBand_ = true;
  int frameSize_ = 0;
  std::array<int16_t, kWbFrameSamples> frame_{};
  int fill_ = 0;
  bool dtx_ = false;
  int nbMode_ = 6;
  int wbMode_ = 6;
  std::unique_ptr<platform::AmrNbEncoder, NbCloser> nb_;
  std::unique_ptr<platform::AmrWbEncoder, WbCloser> wb_;
  bool failed_ = false;
  long framesEncoded_ = 0;
};

}  // namespace sonorell
