#pragma once

// The calls of the FAAC encoder library that Sonorell makes, with FAAC's names,
// configuration fields and results, backed by libavcodec's native AAC encoder.
//
// What the backing encoder honours, field by field (the one place that says so):
//   aacObjectType  LOW only (the encoder writes AAC-LC); other object types are refused
//                  by faacEncSetConfiguration.
//   mpegVersion    MPEG4 or MPEG2: the ADTS header's ID bit. MPEG-2 AAC has no perceptual
//                  noise substitution, so that MPEG-4 tool is switched off for MPEG2.
//   useTns         honoured (the encoder's TNS on or off).
//   allowMidside   1 lets the encoder choose mid/side per band, 0 forbids it.
//   bandWidth      0 lets the encoder choose its cut-off; other values are the cut-off in Hz.
//   bitRate        per channel, bits per second; non-zero is average bit rate mode at
//                  bitRate × channels. 0 selects quality mode. Above what an AAC channel
//                  can carry (6144 bits per frame, 6 × the sample rate) it is refused.
//   quantqual      quality mode only (bitRate 0): 10..500, 100 the default, mapped linearly
//                  onto the encoder's quality scale (100 is its own default quality).
//   outputFormat   RAW_STREAM (bare frames) or ADTS_STREAM (a 7-byte ADTS header, without
//                  CRC, in front of each frame).
//   inputFormat    INPUT_16BIT (packed 16-bit samples, native order, in the buffer that
//                  faacEncEncode types as int32_t*, as FAAC's own callers pass them) or
//                  INPUT_FLOAT (packed floats scaled to ±32768); others are refused.
//   shortctl       SHORTCTL_NORMAL only: the encoder decides block switching itself and has
//                  no way to forbid short or long blocks, so SHORTCTL_NOSHORT and
//                  SHORTCTL_NOLONG are refused by faacEncSetConfiguration rather than
//                  silently ignored.
//   useLfe, psymodelidx, name, copyright, version: kept for callers, without effect.
// Sample rates are those of the AAC sampling-frequency table that the encoder takes
// (7350 to 96000 Hz); faacEncOpen refuses any other rate and channel counts outside 1..6.
//
// Encoding is one frame in, at most one frame out: 1024 samples per channel per call
// (inputSamples = 1024 × channels), each result one AAC frame. The encoder holds back its
// first frame (start-up delay); calls with 0 samples drain it at the end until they give 0.
// A call with fewer than inputSamples samples ends the input: only 0-sample calls follow.
#include <cstdint>

namespace platform {

inline constexpr unsigned int MPEG2 = 1;
inline constexpr unsigned int MPEG4 = 0;

inline constexpr unsigned int MAIN = 1;
inline constexpr unsigned int LOW = 2;
inline constexpr unsigned int SSR = 3;
inline constexpr unsigned int LTP = 4;

inline constexpr unsigned int RAW_STREAM = 0;
inline constexpr unsigned int ADTS_STREAM = 1;

inline constexpr unsigned int FAAC_INPUT_NULL = 0;
inline constexpr unsigned int FAAC_INPUT_16BIT = 1;
inline constexpr unsigned int FAAC_INPUT_24BIT = 2;
inline constexpr unsigned int FAAC_INPUT_32BIT = 3;
inline constexpr unsigned int FAAC_INPUT_FLOAT = 4;

inline constexpr int SHORTCTL_NORMAL = 0;
inline constexpr int SHORTCTL_NOSHORT = 1;
inline constexpr int SHORTCTL_NOLONG = 2;

struct faacEncConfiguration {
  int version = 105;
  const char* name = "libavcodec aac";
  const char* copyright = "";
  unsigned int mpegVersion = MPEG4;
  unsigned int aacObjectType = LOW;
  unsigned int allowMidside = 1;
  unsigned int useLfe = 0;
  unsigned int useTns = 0;
  unsigned long bitRate = 0;      // per channel, bits per second; 0 = quality mode
  unsigned int bandWidth = 0;     // Hz; 0 = the encoder's choice
  unsigned long quantqual = 100;  // quality mode: 10..500
  unsigned int outputFormat = ADTS_STREAM;
  unsigned int psymodelidx = 0;
  unsigned int inputFormat = FAAC_INPUT_32BIT;
  int shortctl = SHORTCTL_NORMAL;
};
using faacEncConfigurationPtr = faacEncConfiguration*;

struct FaacEncoder;  // opaque
using faacEncHandle = FaacEncoder*;

// Null when the rate or channel count cannot be encoded or the encoder is missing.
faacEncHandle faacEncOpen(unsigned long sampleRate, unsigned int numChannels,
                          unsigned long* inputSamples, unsigned long* maxOutputBytes);

// The handle's configuration, to change in place before faacEncSetConfiguration.
faacEncConfigurationPtr faacEncGetCurrentConfiguration(faacEncHandle hEncoder);

// Non-zero when the configuration was taken (the encoder is then ready); 0 when a field
// cannot be honoured (see above) or once encoding has started.
int faacEncSetConfiguration(faacEncHandle hEncoder, faacEncConfigurationPtr config);

// Encodes samplesInput samples (all channels, interleaved) and writes at most one frame
// to outputBuffer. Returns the frame's byte count, 0 when there is nothing to emit yet (or
// nothing left), -1 on an encoder error, a malformed call (more than inputSamples, a
// partial sample frame, samples after the end) or when the frame does not fit bufferSize
// (that frame stays for the next call).
int faacEncEncode(faacEncHandle hEncoder, int32_t* inputBuffer, unsigned int samplesInput,
                  unsigned char* outputBuffer, unsigned int bufferSize);

// The AudioSpecificConfig of the configured stream in a buffer the caller frees with
// free(). 0 on success, -1 when the encoder is not configured.
int faacEncGetDecoderSpecificInfo(faacEncHandle hEncoder, unsigned char** ppBuffer,
                                  unsigned long* pSizeOfDecoderSpecificInfo);

// Frees the encoder; any frame still held back is dropped. Null is allowed.
int faacEncClose(faacEncHandle hEncoder);

}  // namespace platform
