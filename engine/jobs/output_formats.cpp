#include "engine/jobs/output_formats.h"

#include <array>

#include "engine/encoders/aac/aac_encoder.h"
#include "engine/encoders/aac/mp4_gain_tags.h"
#include "engine/encoders/amr/amr_encoder.h"
#include "engine/encoders/flac/flac_encoder.h"
#include "engine/encoders/flac/flac_gain_tags.h"
#include "engine/encoders/mp3/mp3_encoder.h"
#include "engine/encoders/mp3/mp3_gain_tags.h"
#include "engine/encoders/ogg/ogg_encoder.h"
#include "engine/encoders/ogg/ogg_gain_tags.h"
#include "engine/encoders/opus/opus_encoder.h"
#include "engine/encoders/opus/opus_gain_tags.h"
#include "engine/encoders/tags/tag_mode.h"
#include "engine/encoders/wav/wav_encoder.h"
#include "engine/encoders/wma/wma_encoder.h"
#include "engine/encoders/wma/wma_gain_tags.h"
#include "engine/paths/path_rules.h"

namespace sonorell {
namespace {

constexpr std::array<OutputFormatRow, 13> kRows{{
    {kOutputMp3, "mp3", nullptr},
    {kOutputWav, "wav", nullptr},
    {kOutputWma, "wma", nullptr},
    {kOutputOgg, "ogg", nullptr},
    {kOutputAac, "aac", nullptr},
    {kOutputM4a, "m4a", "AAC for iPod / iTunes"},
    {kOutputMp4, "mp4", "MP4 (Audio only)"},
    {kOutputM4a, "m4a", "M4A (MPEG-4 Audio)"},
    {kOutputM4b, "m4b", "M4B (MPEG-4 Audiobook)"},
    {kOutputAmr, "amr", nullptr},
    {kOutputAwb, "awb", nullptr},
    {kOutputFlac, "flac", nullptr},
    {kOutputOpus, "opus", "Opus"},
}};

// Per-format dispatch: the encoder of each output format, the stored tag mode and default
// tags of its family and the writer of its gain tags (none for formats without tags).
struct Dispatch {
  OutputFormatCode code;
  const char* name;
  EncoderEntry encoder;
  int Settings::*tagMode = nullptr;
  TagDefaults Settings::*tags = nullptr;
  GainTagWriter writeGains = nullptr;
};

constexpr std::array<Dispatch, 12> kDispatch{{
    {kOutputMp3, "MP3", EncodeMp3File, &Settings::MP3ID3TagType, &Settings::Mp3Tags,
     WriteMp3GainTags},
    {kOutputWav, "WAV", EncodeWavFile},
    {kOutputOgg, "OGG", EncodeOggFile, &Settings::OGGID3TagType, &Settings::OggTags,
     WriteOggGainTags},
    {kOutputAmr, "AMR", EncodeAmrFile},
    {kOutputAwb, "AWB", EncodeAwbFile},
    {kOutputAac, "AAC", EncodeAacFile},
    {kOutputM4a, "M4A", EncodeMp4File, &Settings::M4AID3TagType, &Settings::M4aTags,
     WriteMp4GainTags},
    {kOutputMp4, "MP4", EncodeMp4File, &Settings::M4AID3TagType, &Settings::M4aTags,
     WriteMp4GainTags},
    {kOutputM4b, "M4B", EncodeMp4File, &Settings::M4AID3TagType, &Settings::M4aTags,
     WriteMp4GainTags},
    {kOutputWma, "WMA", EncodeWmaFile, &Settings::WMAID3TagType, &Settings::WmaTags,
     WriteWmaGainTags},
    {kOutputFlac, "FLAC", EncodeFlacFile, &Settings::FLACID3TagType, &Settings::FlacTags,
     WriteFlacGainTags},
    {kOutputOpus, "OPUS", EncodeOpusFile, &Settings::OpusID3TagType, &Settings::OpusTags,
     WriteOpusGainTags},
}};

const Dispatch* FindDispatch(OutputFormatCode code) {
  for (const Dispatch& d : kDispatch) {
    if (d.code == code) return &d;
  }
  return nullptr;
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

std::span<const OutputFormatRow> OutputFormatTable() {
  return kRows;
}

std::string OutputFormatItemText(const OutputFormatRow& row) {
  return std::string(" to ") + (row.label ? std::string(row.label) : AsciiUpper(row.extension));
}

std::string FormatName(OutputFormatCode code) {
  const Dispatch* d = FindDispatch(code);
  return d ? d->name : "";
}

EncoderEntry EncoderFor(OutputFormatCode code) {
  const Dispatch* d = FindDispatch(code);
  return d ? d->encoder : nullptr;
}

GainTagWriter GainTagWriterFor(OutputFormatCode code) {
  const Dispatch* d = FindDispatch(code);
  return d ? d->writeGains : nullptr;
}

int ReplayGainMode(const Settings& settings, OutputFormatCode code) {
  const Dispatch* d = FindDispatch(code);
  if (!d || !d->writeGains || !d->tagMode) return 0;
  return ReplayGainUnder(settings.*d->tagMode, (settings.*d->tags).ReplayGain);
}

OutputFormatCode OutputFormatForExtension(const std::string& extension) {
  const std::string wanted = AsciiLower(extension);
  for (const OutputFormatRow& row : kRows) {
    if (wanted == row.extension) return row.code;
  }
  return -1;
}

}  // namespace sonorell
