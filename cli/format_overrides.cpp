#include "cli/format_overrides.h"

#include <algorithm>
#include <array>
#include <span>

#include "engine/encoders/aac/aac_options.h"
#include "engine/encoders/flac/flac_encoder.h"
#include "engine/encoders/mp3/mp3_options.h"
#include "engine/encoders/ogg/ogg_options.h"
#include "engine/encoders/option_limits.h"
#include "engine/encoders/opus/opus_parameters.h"
#include "engine/encoders/wav/wav_options.h"
#include "engine/encoders/wma/build_profile_list.h"
#include "engine/encoders/wma/wma_options.h"
#include "engine/jobs/output_formats.h"
#include "platform/wmf/wm_runtime.h"

namespace sonorell {
namespace {

bool Listed(std::span<const int> values, int v) {
  return std::find(values.begin(), values.end(), v) != values.end();
}

std::string ListText(std::span<const int> values) {
  std::string text;
  for (const int v : values) text += (text.empty() ? "" : ", ") + std::to_string(v);
  return text;
}

// The "Encoding Options" entry --quality names: 0 Auto, 1 .. 4 the presets from the
// smallest files to the best sound. nullopt for anything else.
std::optional<int> QualityEntry(const std::string& q) {
  static constexpr std::array<const char*, 5> kNames{"auto", "low", "ok", "medium", "cd"};
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (q == kNames[i] || q == std::to_string(i)) return static_cast<int>(i);
  }
  return std::nullopt;
}

constexpr const char* kQualityChoices = "--quality must be auto, low, ok, medium or cd (or 0 to 4)";

bool ApplyWav(Settings& s, const FormatOverrides& o, std::string& error) {
  if (o.bitrate || o.quality) {
    error = "--bitrate and --quality are not available for WAV";
    return false;
  }
  if (o.rate && !Listed(kWavPageRates, *o.rate)) {
    error = "--rate " + std::to_string(*o.rate) + " is not one of the WAV rates (" +
            ListText(kWavPageRates) + ")";
    return false;
  }
  if (o.bits && *o.bits != 8 && *o.bits != 16) {
    error = "--bits must be 8 or 16";
    return false;
  }
  if (o.rate || o.bits || o.channels) {
    // Options left out follow the source, unless the user had chosen fixed ones.
    if (s.AutoDestWAVEncodingParam) {
      s.WAVSampleRate = 0;
      s.WAVBitsPerSample = 0;
      s.WAVChannelNum = 0;
    }
    s.AutoDestWAVEncodingParam = 0;
    if (o.rate) s.WAVSampleRate = *o.rate;
    if (o.bits) s.WAVBitsPerSample = *o.bits;
    if (o.channels) s.WAVChannelNum = *o.channels;
  }
  if (o.gain) {
    s.AmplifyWav = 1;
    s.AmplifyWavCoeff = *o.gain;
  }
  return true;
}

// Both pages list Auto first.
constexpr int kQualityAuto = 0;
static_assert(opt_mp3_page::kAuto == kQualityAuto && opt_ogg_page::kAuto == kQualityAuto);

// What MP3 and Ogg Vorbis share: --bits has no meaning, rates and bit rates come from the
// page's lists, --quality names an encoding option.
bool CheckCompressed(const FormatOverrides& o, const char* format, std::span<const int> rates,
                     std::span<const int> bitrates, std::optional<int>& qualityEntry,
                     std::string& error) {
  if (o.bits) {
    error = std::string("--bits is not available for ") + format + " (it is always 16-bit)";
    return false;
  }
  if (o.rate && !Listed(rates, *o.rate)) {
    error = "--rate " + std::to_string(*o.rate) + " is not one of the " + format + " rates (" +
            ListText(rates) + ")";
    return false;
  }
  if (o.bitrate && !Listed(bitrates, *o.bitrate)) {
    error = "--bitrate " + std::to_string(*o.bitrate) + " is not one of the " + format +
            " bit rates (" + ListText(bitrates) + ")";
    return false;
  }
  if (o.quality) {
    qualityEntry = QualityEntry(*o.quality);
    if (!qualityEntry) {
      error = kQualityChoices;
      return false;
    }
    if (*qualityEntry == kQualityAuto && (o.rate || o.bitrate || o.channels)) {
      error = "--quality auto cannot be combined with --rate, --bitrate, --mono or --stereo";
      return false;
    }
  }
  return true;
}

bool ApplyMp3(Settings& s, const FormatOverrides& o, std::string& error) {
  std::optional<int> entry;
  if (!CheckCompressed(o, "MP3", kMp3SampleRates, kMp3Bitrates, entry, error)) {
    return false;
  }
  if (entry) {
    opt_mp3_page::Model page = opt_mp3_page::Model::FromSettings(s);
    page.SelectEncodingOption(*entry);
    page.StoreInto(s);
  }
  if (o.rate || o.bitrate || o.channels) {
    // Options left out follow the source, unless the user had chosen fixed ones.
    if (s.AutoDestMP3EncodingParam) {
      s.MP3SampleRate = 0;
      s.MP3BitRate = 0;
      s.MP3ChannelMode = kMp3ModeSameAsSource;
    }
    s.AutoDestMP3EncodingParam = 0;
    if (o.rate) s.MP3SampleRate = *o.rate;
    if (o.bitrate) s.MP3BitRate = *o.bitrate;
    // Stereo is the page's first choice, joint stereo.
    if (o.channels) s.MP3ChannelMode = *o.channels == 1 ? kMp3ModeMono : kMp3ModeJointStereo;
  }
  if (o.gain) {
    s.AmplifyMp3 = 1;
    s.AmplifyMp3Coeff = *o.gain;
  }
  return true;
}

bool ApplyOgg(Settings& s, const FormatOverrides& o, std::string& error) {
  std::optional<int> entry;
  if (!CheckCompressed(o, "Ogg Vorbis", kOggSampleRates, kOggBitrates, entry, error)) {
    return false;
  }
  if (entry) {
    opt_ogg_page::Model page = opt_ogg_page::Model::FromSettings(s);
    page.SelectEncodingOption(*entry);
    page.StoreInto(s);
  }
  if (o.rate || o.bitrate || o.channels) {
    if (s.AutoDestOGGEncodingParam) {
      s.OGGSampleRate = 0;
      s.OGGBitRate = 0;
      s.OGGChannels = 0;
    }
    s.AutoDestOGGEncodingParam = 0;
    if (o.rate) s.OGGSampleRate = *o.rate;
    // A bit rate libvorbis cannot reach at the rate is moved into its range when the file
    // is converted, as the page does.
    if (o.bitrate) s.OGGBitRate = *o.bitrate;
    if (o.channels) s.OGGChannels = *o.channels;
  }
  if (o.gain) {
    s.AmplifyOGG = 1;
    s.AmplifyOGGCoeff = *o.gain;
  }
  return true;
}

// AAC keeps the source's rate, channels and width; --bitrate chooses average bit rate mode,
// --quality the quality (10 to 500) of variable bit rate mode.
bool ApplyAac(Settings& s, int outputFormat, const FormatOverrides& o, std::string& error) {
  if (o.rate || o.bits || o.channels) {
    error = "--rate, --bits, --mono and --stereo are not available for AAC (the source's are kept)";
    return false;
  }
  if (o.bitrate && o.quality) {
    error = "--bitrate (average bit rate) and --quality (variable bit rate) exclude each other";
    return false;
  }
  if (o.bitrate && !Listed(opt_aac_page::kBitrates, *o.bitrate)) {
    error = "--bitrate " + std::to_string(*o.bitrate) + " is not one of the AAC bit rates (" +
            ListText(opt_aac_page::kBitrates) + ")";
    return false;
  }
  std::optional<int> quality;
  if (o.quality) {
    const std::string& q = *o.quality;
    const bool digits = !q.empty() && q.size() <= 4 && std::all_of(q.begin(), q.end(), [](char c) {
      return c >= '0' && c <= '9';
    });
    if (digits) quality = std::stoi(q);
    if (!quality || *quality < opt_aac_page::kQualityMin || *quality > opt_aac_page::kQualityMax) {
      error = opt_aac_page::kInvalidQualityText;
      return false;
    }
  }
  const opt_aac_page::Family family =
      outputFormat == kOutputAac ? opt_aac_page::Family::kRawAac : opt_aac_page::Family::kMp4;
  opt_aac_page::Model page = opt_aac_page::Model::FromSettings(s, family);
  if (o.bitrate) {
    page.automatic = false;
    page.mode = opt_aac_page::kModeAbr;
    page.bitrate = *o.bitrate;
  }
  if (quality) {
    page.automatic = false;
    page.mode = opt_aac_page::kModeVbr;
    page.quality = *quality;
  }
  if (o.gain) {
    page.amplify = true;
    page.coefficient = *o.gain;
  }
  page.StoreInto(s);
  return true;
}

// AMR and AWB are always mono speech at 8000 or 16000 Hz; --quality names the codec's mode
// (0 to 7 for narrow band, 0 to 8 for wide band), --gain amplifies.
bool ApplyAmr(Settings& s, int outputFormat, const FormatOverrides& o, std::string& error) {
  if (o.rate || o.bits || o.channels || o.bitrate) {
    error =
        "--rate, --bits, --mono, --stereo and --bitrate are not available for AMR and AWB "
        "(choose the mode with --quality)";
    return false;
  }
  const bool wideBand = outputFormat == kOutputAwb || s.AMRType != 0;
  if (o.quality) {
    const int highest = wideBand ? 8 : 7;
    const std::string& q = *o.quality;
    if (q.size() != 1 || q[0] < '0' || q[0] > '0' + highest) {
      error = std::string("--quality must be the ") + (wideBand ? "AMR-WB" : "AMR-NB") +
              " mode, 0 to " + std::to_string(highest);
      return false;
    }
    const int mode = q[0] - '0';
    if (outputFormat == kOutputAwb) {
      s.AWBMode = mode;
    } else if (wideBand) {
      s.AMRWBMode = mode;
    } else {
      s.AMRMode = mode;
    }
  }
  if (o.gain) {
    s.AmplifyAMR = 1;
    s.AmplifyAMRCoef = *o.gain;
  }
  return true;
}

// WMA takes one encoding of the runtime's codec list: --rate, --bitrate and --mono/--stereo
// name it (those left out keep the stored values), --quality auto the automatic choice.
bool ApplyWma(Settings& s, const FormatOverrides& o, std::string& error) {
  if (o.bits) {
    error = "--bits is not available for WMA (the source's width is kept)";
    return false;
  }
  if (o.quality && *o.quality != "auto" && *o.quality != "0") {
    error = "--quality must be auto for WMA (or choose --rate, --bitrate, --mono or --stereo)";
    return false;
  }
  if (o.quality && (o.rate || o.bitrate || o.channels)) {
    error = "--quality auto cannot be combined with --rate, --bitrate, --mono or --stereo";
    return false;
  }
  if (o.rate || o.bitrate || o.channels) {
    const int rate = o.rate.value_or(s.WMASampleRate);
    const int kbps = o.bitrate.value_or(s.WMABitRate / 1000);
    const int channels = o.channels.value_or(s.WMAChannels);
    // Without the runtime there is no list to check against; the run is refused later.
    if (platform::LoadWmRuntime()) {
      WmaProfileList& list = SharedWmaProfileList();
      if (list.Empty()) BuildProfileList(list);
      const std::vector<opt_wma_page::EncodingEntry> entries = opt_wma_page::EncodingEntries(list);
      const auto match = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
        return e.profile.format.sampleRate == rate && e.profile.bitRate / 1000 == kbps &&
               e.profile.format.channels == channels;
      });
      if (match == entries.end()) {
        error = "no WMA encoding has " + std::to_string(rate) + " Hz, " + std::to_string(kbps) +
                " kbps, " + (channels == 1 ? "Mono" : "Stereo") + "; the encodings are:";
        for (const auto& e : entries) error += "\n  " + e.text;
        return false;
      }
      s.WMABitRate = match->profile.bitRate;
    } else {
      s.WMABitRate = kbps * 1000;
    }
    s.AutoDestWMAEncodingParam = 0;
    s.WMASampleRate = rate;
    s.WMAChannels = channels;
  }
  if (o.quality) s.AutoDestWMAEncodingParam = 1;
  if (o.gain) {
    s.AmplifyWMA = 1;
    s.AmplifyWMACoeff = *o.gain;
  }
  return true;
}

// FLAC is lossless: --quality names the compression level, the width is the source's.
bool ApplyFlac(Settings& s, const FormatOverrides& o, std::string& error) {
  if (o.bits || o.bitrate) {
    error =
        "--bits and --bitrate are not available for FLAC (it is lossless and keeps the "
        "source's width)";
    return false;
  }
  if (o.quality) {
    const std::string& q = *o.quality;
    if (q.size() != 1 || q[0] < '0' || q[0] > '8') {
      error = "--quality must be the FLAC compression level, 0 (fastest) to 8 (smallest)";
      return false;
    }
    s.FLACCompression = q[0] - '0';
  }
  if (o.rate && !Listed(kFlacSampleRates, *o.rate)) {
    error = "--rate " + std::to_string(*o.rate) + " is not one of the FLAC rates (" +
            ListText(kFlacSampleRates) + ")";
    return false;
  }
  if (o.rate) s.FLACSampleRate = *o.rate;
  if (o.channels) s.FLACChannels = *o.channels;
  if (o.gain) {
    s.AmplifyFLAC = 1;
    s.AmplifyFLACCoeff = *o.gain;
  }
  return true;
}

// Opus is always 48 kHz and 16-bit in; --bitrate is any whole kbps of the codec's range,
// --rate-control and --complexity set the encoder, --mono and --stereo the channels.
bool ApplyOpus(Settings& s, const FormatOverrides& o, std::string& error) {
  if (o.rate || o.bits || o.quality) {
    error = "--rate, --bits and --quality are not available for Opus (it is always 48 kHz)";
    return false;
  }
  if (o.bitrate && (*o.bitrate < kOpusMinKbps || *o.bitrate > kOpusMaxKbps)) {
    error = "--bitrate " + std::to_string(*o.bitrate) + " is outside the Opus bit rates (" +
            std::to_string(kOpusMinKbps) + " to " + std::to_string(kOpusMaxKbps) + ")";
    return false;
  }
  std::optional<OpusRateControl> control;
  if (o.rateControl) {
    const std::string& c = *o.rateControl;
    if (c == "vbr") control = OpusRateControl::kVariable;
    if (c == "cvbr") control = OpusRateControl::kConstrainedVariable;
    if (c == "cbr") control = OpusRateControl::kConstant;
    if (!control) {
      error = "--rate-control must be vbr, cvbr or cbr";
      return false;
    }
  }
  if (o.complexity && (*o.complexity < 0 || *o.complexity > kOpusMaxComplexity)) {
    error = "--complexity must be 0 to " + std::to_string(kOpusMaxComplexity);
    return false;
  }
  if (o.bitrate) s.OpusBitRate = *o.bitrate;
  if (control) s.OpusRateControl = static_cast<int>(*control);
  if (o.complexity) s.OpusComplexity = *o.complexity;
  if (o.channels) s.OpusChannels = *o.channels;
  if (o.gain) {
    s.AmplifyOpus = 1;
    s.AmplifyOpusCoeff = *o.gain;
  }
  return true;
}

}  // namespace

bool ApplyFormatOverrides(Settings& settings, int outputFormat, const FormatOverrides& overrides,
                          std::string& error) {
  if (overrides.gain && !ValidAmplifyCoefficient(*overrides.gain)) {
    error = kInvalidAmplificationText;
    return false;
  }
  if ((overrides.rateControl || overrides.complexity) && outputFormat != kOutputOpus) {
    error = "--rate-control and --complexity are only available for Opus";
    return false;
  }
  switch (outputFormat) {
    case kOutputWav:
      return ApplyWav(settings, overrides, error);
    case kOutputMp3:
      return ApplyMp3(settings, overrides, error);
    case kOutputOgg:
      return ApplyOgg(settings, overrides, error);
    case kOutputAac:
    case kOutputM4a:
    case kOutputMp4:
    case kOutputM4b:
      return ApplyAac(settings, outputFormat, overrides, error);
    case kOutputAmr:
    case kOutputAwb:
      return ApplyAmr(settings, outputFormat, overrides, error);
    case kOutputWma:
      return ApplyWma(settings, overrides, error);
    case kOutputFlac:
      return ApplyFlac(settings, overrides, error);
    case kOutputOpus:
      return ApplyOpus(settings, overrides, error);
    default:
      if (overrides.Any()) {
        error =
            "--rate, --bits, --mono, --stereo, --bitrate, --quality and --gain are not available "
            "for this format";
        return false;
      }
      return true;
  }
}

}  // namespace sonorell
