#include "engine/sources/source_factory.h"

#include <iterator>

#include "engine/sources/aiff/aiff_reader.h"
#include "engine/sources/au/au_reader.h"
#include "engine/sources/bass/bass_source.h"
#include "engine/sources/failure_note.h"
#include "engine/sources/ffmpeg/ffmpeg_probe.h"
#include "engine/sources/ffmpeg/ffmpeg_source.h"
#include "engine/sources/ogg/ogg_vorbis_source.h"
#include "engine/sources/wav/wav_reader.h"
#include "engine/sources/wma/wma_source.h"
#include "platform/wmf/wm_runtime.h"

namespace sonorell {
namespace {

struct PlanRow {
  InputTypeCode code;
  DecoderPlan plan;
};

using D = DecoderKind;

// Which decoder goes first for each input type, and which others may try after it.
constexpr PlanRow kPlans[] = {
    {kInputMp3, {D::kBass, false, true, false}},
    {kInputTrackerModule, {D::kBass, false, true, false}},
    {kInputMidi, {D::kBass, false, true, false}},
    {kInputCdAudio, {D::kBass, false, true, false}},
    {kInputFlac, {D::kBass, false, true, false}},
    {kInputWavPack, {D::kBass, false, true, false}},
    {kInputAdx, {D::kBass, false, true, false}},
    {kInputMonkeysAudio, {D::kBass, false, true, false}},
    {kInputMusepack, {D::kBass, false, true, false}},
    {kInputTta, {D::kBass, false, true, false}},
    {kInputAac, {D::kBass, false, true, false}},
    {kInputM4a, {D::kBass, false, true, false}},
    {kInputMp4, {D::kBass, false, true, false}},
    {kInputWav, {D::kBass, false, true, true}},
    {kInputSpeex, {D::kFfmpeg, true, false, false}},
    {kInputOgg, {D::kOggVorbis, true, true, false}},
    {kInputSunAudio, {D::kAu, false, true, false}},
    {kInputAiff, {D::kAiff, true, true, false}},
};

constexpr DecoderPlan kWindowsMediaPresent{D::kWindowsMedia, false, true, false};
constexpr DecoderPlan kWindowsMediaAbsent{D::kBass, false, true, false};
constexpr DecoderPlan kAnythingElse{D::kFfmpeg, false, false, false};

// Every decoder of the build; a kind it lacks is skipped like a decoder that refuses.
std::unique_ptr<AudioSource> MakeBuiltInDecoder(DecoderKind kind, bool forConversion) {
  switch (kind) {
    case D::kFfmpeg:
      if (forConversion) return std::make_unique<FfmpegSource>();
      return std::make_unique<FfmpegProbe>();
    case D::kBass:
      return std::make_unique<BassSource>();
    case D::kWav:
      return std::make_unique<WavReader>();
    case D::kAu:
      return std::make_unique<AuReader>();
    case D::kAiff:
      return std::make_unique<AiffReader>();
    case D::kOggVorbis:
      return std::make_unique<OggVorbisSource>();
    case D::kWindowsMedia:
      return std::make_unique<WmaSource>();
    default:
      return nullptr;
  }
}

std::unique_ptr<AudioSource> TryOpen(const DecoderMaker& make, DecoderKind kind, bool forConversion,
                                     const std::string& path, int renderingRate) {
  std::unique_ptr<AudioSource> source = make(kind, forConversion);
  if (source && source->Open(path, renderingRate)) return source;
  return nullptr;
}

}  // namespace

DecoderPlan PlanFor(InputTypeCode code, bool wmRuntimePresent) {
  if (code == kInputWindowsMedia)
    return wmRuntimePresent ? kWindowsMediaPresent : kWindowsMediaAbsent;
  for (const PlanRow& row : kPlans) {
    if (row.code == code) return row.plan;
  }
  return kAnythingElse;
}

namespace {

std::unique_ptr<AudioSource> OpenFirstThatTakes(const DecoderMaker& makeDecoder,
                                                const std::string& path, InputTypeCode code,
                                                int renderingRate, bool forConversion, bool wide,
                                                const SourceFactoryHooks& hooks) {
  bool wmPresent = false;
  if (code == kInputWindowsMedia) {
    wmPresent = platform::WmRuntimeLoaded();
    if (!wmPresent) {
      wmPresent = platform::LoadWmRuntime();
      if (wmPresent && hooks.onWmRuntimeLoaded) hooks.onWmRuntimeLoaded();
      if (!wmPresent && hooks.askForWmRuntime) hooks.askForWmRuntime();
    }
  }

  const DecoderPlan plan = wide ? WidePlanFor(code, wmPresent) : PlanFor(code, wmPresent);
  // The designed order tries BASS before FFmpeg; the wide order FFmpeg before BASS.
  const DecoderKind second = wide ? D::kFfmpeg : D::kBass;
  const DecoderKind third = wide ? D::kBass : D::kFfmpeg;
  const DecoderKind order[] = {plan.first, second, third, D::kWav};
  const bool tried[] = {true, wide ? plan.thenFfmpeg : plan.thenBass,
                        wide ? plan.thenBass : plan.thenFfmpeg, plan.thenWav};
  for (size_t i = 0; i < std::size(order); ++i) {
    if (!tried[i]) continue;
    if (auto source = TryOpen(makeDecoder, order[i], forConversion, path, renderingRate)) {
      return source;
    }
  }
  if (forConversion) SetFailureNote(kNoDecoderNote);
  return nullptr;
}

}  // namespace

DecoderPlan WidePlanFor(InputTypeCode code, bool wmRuntimePresent) {
  DecoderPlan plan = PlanFor(code, wmRuntimePresent);
  if (code == kInputWav) return DecoderPlan{D::kWav, true, true, false};
  // Rendered inputs (modules, MIDI) and CD tracks hold 16 bits at most: their renderers
  // and the CD reader stay first, at the rendering rate asked for.
  if (EndsAtLength(code) || code == kInputCdAudio) return plan;
  if (plan.first == D::kBass) return DecoderPlan{D::kFfmpeg, true, false, plan.thenWav};
  // Decoders of their own format (AIFF, AU, Ogg Vorbis, Windows Media) stay first; FFmpeg
  // goes before BASS after them.
  plan.thenFfmpeg = plan.thenFfmpeg || plan.thenBass;
  return plan;
}

std::unique_ptr<AudioSource> CreateAudioSourceWith(const DecoderMaker& makeDecoder,
                                                   const std::string& path, InputTypeCode code,
                                                   int renderingRate, bool forConversion,
                                                   const SourceFactoryHooks& hooks) {
  return OpenFirstThatTakes(makeDecoder, path, code, renderingRate, forConversion, false, hooks);
}

std::unique_ptr<AudioSource> CreateAudioSource(const std::string& path, InputTypeCode code,
                                               int renderingRate, bool forConversion,
                                               const SourceFactoryHooks& hooks) {
  return CreateAudioSourceWith(MakeBuiltInDecoder, path, code, renderingRate, forConversion, hooks);
}

std::unique_ptr<AudioSource> CreateWideAudioSourceWith(const DecoderMaker& makeDecoder,
                                                       const std::string& path, InputTypeCode code,
                                                       int renderingRate) {
  return OpenFirstThatTakes(makeDecoder, path, code, renderingRate, true, true, {});
}

std::unique_ptr<AudioSource> CreateWideAudioSource(const std::string& path, InputTypeCode code,
                                                   int renderingRate) {
  return CreateWideAudioSourceWith(MakeBuiltInDecoder, path, code, renderingRate);
}

}  // namespace sonorell
