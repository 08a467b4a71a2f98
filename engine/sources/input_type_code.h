#pragma once

namespace sonorell {

// The kind of an input file, chosen from its extension when it is added. The codes are the
// ones the decoders' decision table and the encoders' end-of-data rules speak of.
using InputTypeCode = int;

inline constexpr InputTypeCode kInputMp3 = 1000;
inline constexpr InputTypeCode kInputWav = 2000;
inline constexpr InputTypeCode kInputTrackerModule = 3000;
inline constexpr InputTypeCode kInputMidi = 3050;
inline constexpr InputTypeCode kInputCdAudio = 3100;
inline constexpr InputTypeCode kInputFlac = 3200;
inline constexpr InputTypeCode kInputWavPack = 3300;
inline constexpr InputTypeCode kInputAdx = 3500;
inline constexpr InputTypeCode kInputMonkeysAudio = 3600;
inline constexpr InputTypeCode kInputMusepack = 3700;
inline constexpr InputTypeCode kInputSpeex = 3800;
inline constexpr InputTypeCode kInputTta = 3900;
inline constexpr InputTypeCode kInputOgg = 4000;
inline constexpr InputTypeCode kInputSunAudio = 5000;
inline constexpr InputTypeCode kInputAiff = 5100;
inline constexpr InputTypeCode kInputAac = 6000;
inline constexpr InputTypeCode kInputM4a = 6500;
inline constexpr InputTypeCode kInputMp4 = 6600;
inline constexpr InputTypeCode kInputWindowsMedia = 7000;
inline constexpr InputTypeCode kInputOther = 9000;

// Synthesised inputs (tracker modules, MIDI) end at their length, not when the decoder
// stops delivering: some of them loop forever.
inline constexpr bool EndsAtLength(InputTypeCode code) {
  return code == kInputTrackerModule || code == kInputMidi;
}

}  // namespace sonorell
