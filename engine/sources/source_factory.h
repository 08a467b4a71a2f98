#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/sources/audio_source.h"
#include "engine/sources/input_type_code.h"

namespace sonorell {

// The decoders the factory can choose between.
enum class DecoderKind { kBass, kWav, kAiff, kAu, kOggVorbis, kWindowsMedia, kFfmpeg };

// Makes an unopened decoder; null when this build has none of that kind. forConversion
// tells the FFmpeg decoder to decode (converting) or only to probe (adding files).
using DecoderMaker = std::function<std::unique_ptr<AudioSource>(DecoderKind, bool forConversion)>;

// What the window offers the factory around the Windows Media runtime: the question asked
// when it is missing, and the refresh of the WMA format list once it has loaded.
struct SourceFactoryHooks {
  std::function<void()> askForWmRuntime;
  std::function<void()> onWmRuntimeLoaded;
};

// The order in which decoders are tried for one kind of input.
struct DecoderPlan {
  DecoderKind first;
  bool thenBass;
  bool thenFfmpeg;
  bool thenWav;
};
DecoderPlan PlanFor(InputTypeCode code, bool wmRuntimePresent);

// The order for lossless outputs, which read sources wider than 16 bits at their own width:
// the decoders with a wide read first (the native WAV, AIFF and AU readers for their own
// formats, else FFmpeg), the BASS layer, whose channels deliver 16 bits, after them.
DecoderPlan WidePlanFor(InputTypeCode code, bool wmRuntimePresent);

// Opens the file with the first decoder that takes it, in the order its input type calls
// for. renderingRate matters to synthesised sound only (0 when adding files). With
// forConversion set, a file no decoder opens leaves its reason in the failure note.
std::unique_ptr<AudioSource> CreateAudioSource(const std::string& path, InputTypeCode code,
                                               int renderingRate, bool forConversion,
                                               const SourceFactoryHooks& hooks = {});

// The same in the wide order, for conversion (lossless outputs and their verification).
std::unique_ptr<AudioSource> CreateWideAudioSource(const std::string& path, InputTypeCode code,
                                                   int renderingRate);

// The same over another set of decoders (tests).
std::unique_ptr<AudioSource> CreateWideAudioSourceWith(const DecoderMaker& makeDecoder,
                                                       const std::string& path, InputTypeCode code,
                                                       int renderingRate);
std::unique_ptr<AudioSource> CreateAudioSourceWith(const DecoderMaker& makeDecoder,
                                                   const std::string& path, InputTypeCode code,
                                                   int renderingRate, bool forConversion,
                                                   const SourceFactoryHooks& hooks = {});

// The note left when no decoder opens a file being converted.
inline constexpr const char* kNoDecoderNote =
    "No decoder could read this file; please send it to the Sonorell support address given in "
    "Help so that it can be supported";

}  // namespace sonorell
