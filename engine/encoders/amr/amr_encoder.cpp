#include "engine/encoders/amr/amr_encoder.h"

#include <algorithm>

#include "engine/encoders/encode_pipeline.h"
#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

void NoteWriteFailure(bool narrowBand) {
  SetFailureNote(std::string("the ") + (narrowBand ? "AMR-NB" : "AMR-WB") +
                 " file could not be encoded or written; the disk may be full");
}

// The reason the library refused to start, told in the user's terms.
void NoteOpenFailure(const AmrCodecChoice& codec) {
  const char* name = codec.narrowBand ? "AMR-NB" : "AMR-WB";
  const int modes = codec.narrowBand ? kAmrNbModeCount : kAmrWbModeCount;
  if (codec.mode < 0 || codec.mode >= modes) {
    SetFailureNote(std::string("the ") + name + " bit rate setting " + std::to_string(codec.mode) +
                   " is not one the encoder offers; choose one under AMR/AWB Options");
  } else {
    SetFailureNote(std::string("the ") + name + " encoder could not create its file");
  }
}

int EncodeSpeechFile(AmrFileKind kind, InputTypeCode inputType, const std::string& sourcePath,
                     const std::string& targetPath, ConvertProgress& progress,
                     const EncodeContext& context) {
  const Settings& s = context.settings;
  const AmrCodecChoice codec = ChooseAmrCodec(s, kind);
  EncodeRecipe recipe;
  recipe.renderingRate = codec.rate;
  recipe.plan = [&](AudioSource&, const PcmFormat& delivered, ConditioningPlan& plan) {
    if (!CheckRatesConvertible(delivered.rate, codec.rate,
                               codec.narrowBand ? "an AMR-NB file" : "an AMR-WB file")) {
      return false;
    }
    plan = PlanAmrConditioning(s, delivered, codec.rate);
    return true;
  };
  recipe.openWriter = [&](StagedOutput& out, const ConditioningPlan&,
                          AudioSource&) -> std::unique_ptr<FormatWriter> {
    auto encoder = std::make_unique<AmrEncoder>();
    encoder->Prepare(out.TempPath(), codec.narrowBand);
    encoder->SetDtx(codec.dtx);
    if (codec.narrowBand) {
      encoder->SetNbMode(codec.mode);
    } else {
      encoder->SetWbMode(codec.mode);
    }
    // The library writes the staged file itself; it is renamed into place on success.
    out.HandOverToLibrary();
    if (!encoder->Open(out.TempPath())) {
      NoteOpenFailure(codec);
      return nullptr;
    }
    return encoder;
  };
  return RunEncode(recipe, inputType, sourcePath, targetPath, progress, context);
}

}  // namespace

AmrCodecChoice ChooseAmrCodec(const Settings& s, AmrFileKind kind) {
  if (kind == AmrFileKind::kAwb) return {false, kAmrWbRate, s.AWBMode, s.AWBDTX != 0};
  if (s.AMRType == 0) return {true, kAmrNbRate, s.AMRMode, s.AMRDTX != 0};
  return {false, kAmrWbRate, s.AMRWBMode, s.AMRDTX != 0};
}

ConditioningPlan PlanAmrConditioning(const Settings& s, const PcmFormat& source, int codecRate) {
  const PcmFormat wanted{codecRate, 1, 16};
  return PlanConditioning(source, wanted, s.MonoType, s.AmplifyAMR != 0, s.AmplifyAMRCoef);
}

int EncodeAmrFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context) {
  return EncodeSpeechFile(AmrFileKind::kAmr, inputType, sourcePath, targetPath, progress, context);
}

int EncodeAwbFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context) {
  return EncodeSpeechFile(AmrFileKind::kAwb, inputType, sourcePath, targetPath, progress, context);
}

AmrEncoder::~AmrEncoder() {
  Close();
}

void AmrEncoder::Reset() {
  nb_.reset();
  wb_.reset();
  narrowBand_ = true;
  frameSize_ = 0;
  fill_ = 0;
  dtx_ = false;
  nbMode_ = 6;
  wbMode_ = 6;
  failed_ = false;
  framesEncoded_ = 0;
}

int AmrEncoder::Prepare(const std::string& /*path*/, bool narrowBand) {
  Close();
  narrowBand_ = narrowBand;
  frameSize_ = narrowBand ? kNbFrameSamples : kWbFrameSamples;
  return 1;
}

int AmrEncoder::Open(const std::string& path) {
  if (IsOpen() || frameSize_ == 0) return 0;
  fill_ = 0;
  failed_ = false;
  framesEncoded_ = 0;
  if (narrowBand_) {
    // The codec's own numbering; anything outside it the library refuses.
    const bool known = nbMode_ >= 0 && nbMode_ < kAmrNbModeCount;
    if (!known) return 0;
    nb_.reset(
        platform::amrnbenc_init(path.c_str(), dtx_ ? 1 : 0, static_cast<platform::Mode>(nbMode_)));
    return nb_ ? 1 : 0;
  }
  wb_.reset(platform::amrwbenc_init(path.c_str(), dtx_ ? 1 : 0, wbMode_));
  return wb_ ? 1 : 0;
}

bool AmrEncoder::EncodeFrame(const int16_t* frame) {
  if (failed_) return false;
  const int n = nb_ ? platform::amrnbenc_encode(nb_.get(), frame)
                    : platform::amrwbenc_encode(wb_.get(), frame);
  if (n < 0) {
    failed_ = true;
    return false;
  }
  ++framesEncoded_;
  return true;
}

int AmrEncoder::Encode(const int16_t* samples, int count) {
  if (!IsOpen() || failed_ || count < 0 || (count > 0 && samples == nullptr)) return 0;
  const int n = frameSize_;
  if (fill_ + count < n) {
    std::copy(samples, samples + count, frame_.begin() + fill_);
    fill_ += count;
    return 1;
  }
  int taken = 0;
  if (fill_ > 0) {
    taken = n - fill_;
    std::copy(samples, samples + taken, frame_.begin() + fill_);
    fill_ = 0;
    if (!EncodeFrame(frame_.data())) return 0;
  }
  while (count - taken >= n) {
    if (!EncodeFrame(samples + taken)) return 0;
    taken += n;
  }
  std::copy(samples + taken, samples + count, frame_.begin());
  fill_ = count - taken;
  return 1;
}

bool AmrEncoder::Close() {
  if (!IsOpen()) {
    Reset();
    return false;
  }
  bool ok = !failed_;
  if (ok && fill_ > 0) {
    std::fill(frame_.begin() + fill_, frame_.begin() + frameSize_, int16_t{0});
    fill_ = 0;
    ok = EncodeFrame(frame_.data());
  }
  // The library's own verdict on the file: every write and the close.
  const int quit =
      nb_ ? platform::amrnbenc_quit(nb_.release()) : platform::amrwbenc_quit(wb_.release());
  if (quit != 0) ok = false;
  Reset();
  return ok;
}

bool AmrEncoder::WritePcm(const void* left, const void* /*right*/, int frames) {
  const bool narrowBand = narrowBand_;
  if (Encode(static_cast<const int16_t*>(left), frames) == 1) return true;
  NoteWriteFailure(narrowBand);
  return false;
}

bool AmrEncoder::Finish() {
  const bool narrowBand = narrowBand_;
  if (Close()) return true;
  NoteWriteFailure(narrowBand);
  return false;
}

}  // namespace sonorell
