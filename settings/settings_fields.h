#pragma once

// The table of every stored value of Settings, shared by the store and the text form so
// that both walk the same list. Internal to settings/.

#include <cstddef>
#include <iterator>
#include <string>

#include "settings/settings.h"
#include "settings/settings_store.h"
#include "settings/tag_defaults.h"

namespace sonorell::settings_fields {

// Repairs applied to a value just read from the store, so that a hand-edited or outdated
// store cannot hand the encoders a mode they do not know.
enum class Fix {
  kNone,
  kMp3ChannelMode,  // 0, 1, 3, 4; else joint stereo
  kChannels012,     // 0 same as source, 1, 2; else stereo
  kWmaChannels,     // 1, 2; else stereo
  kTagType012,      // 0..2; else 2
  kGainPercent,     // 10..3000
  kOggBitRate,      // old stores hold bit/s: above 1000 is read as kbit/s
  kFilesAtOnce,     // 1..64; 0 or less the number of cores
  kFlacLevel,       // 0..8; else 5
  kOpusBitRate,     // 0 (by channels) or 6..510; else 0
  kRateControl012,  // 0..2; else 0
  kComplexity,      // 0..10; else 10
};

// One stored value: exactly one of number/text is set.
struct Field {
  const char* name;
  unsigned group;
  int Settings::*number = nullptr;
  std::string Settings::*text = nullptr;
  Fix fix = Fix::kNone;
};

inline constexpr unsigned kF = kSaveFormatAndPage;
inline constexpr unsigned kD = kSaveFolder;
inline constexpr unsigned kO = kSaveOptions;

// In the order the values are read and written.
inline constexpr Field kFields[] = {
    {"Folder", kD, nullptr, &Settings::Folder},
    {"DestOutputFolderOpt", kO, &Settings::DestOutputFolderOpt},
    {"DestSpecifiedFolder", kO, nullptr, &Settings::DestSpecifiedFolder},
    {"CreateDirs", kO, &Settings::CreateDirs},
    {"BrowseOutputFolder", kO, &Settings::BrowseOutputFolder},
    {"OutputFiles2MyDocuments", kO, &Settings::OutputFiles2MyDocuments},
    {"TargetExistsOpt", kO, &Settings::TargetExistsOpt},
    {"MonoType", kO, &Settings::MonoType},
    {"EnableExtFilter", kO, &Settings::EnableExtFilter},
    {"FilterExts", kO, nullptr, &Settings::FilterExts},
    {"FilesAtOnce", kO, &Settings::FilesAtOnce, nullptr, Fix::kFilesAtOnce},
    {"KeepDamaged", kO, &Settings::KeepDamaged},
    {"SplitLongFiles", kO, &Settings::SplitLongFiles},
    {"OutputFormat", kF, &Settings::OutputFormat},
    {"OptStartPageIndex", kF, &Settings::OptStartPageIndex},

    {"AutoDestMP3EncodingParam", kO, &Settings::AutoDestMP3EncodingParam},
    {"MP3BitRate", kO, &Settings::MP3BitRate},
    {"MP3SampleRate", kO, &Settings::MP3SampleRate},
    {"MP3ChannelMode", kO, &Settings::MP3ChannelMode, nullptr, Fix::kMp3ChannelMode},
    {"MP3ID3TagType", kO, &Settings::MP3ID3TagType},
    {"MP3WriteID3Version", kO, &Settings::MP3WriteID3Version},
    {"AmplifyMp3", kO, &Settings::AmplifyMp3},
    {"AmplifyMp3Coeff", kO, &Settings::AmplifyMp3Coeff, nullptr, Fix::kGainPercent},

    {"AutoDestWAVEncodingParam", kO, &Settings::AutoDestWAVEncodingParam},
    {"WAVBitsPerSample", kO, &Settings::WAVBitsPerSample},
    {"WAVSampleRate", kO, &Settings::WAVSampleRate},
    {"WAVChannelNum", kO, &Settings::WAVChannelNum, nullptr, Fix::kChannels012},
    {"AmplifyWav", kO, &Settings::AmplifyWav},
    {"AmplifyWavCoeff", kO, &Settings::AmplifyWavCoeff, nullptr, Fix::kGainPercent},

    {"AutoDestWMAEncodingParam", kO, &Settings::AutoDestWMAEncodingParam},
    {"WMABitRate", kO, &Settings::WMABitRate},
    {"WMASampleRate", kO, &Settings::WMASampleRate},
    {"WMAChannels", kO, &Settings::WMAChannels, nullptr, Fix::kWmaChannels},
    {"WMAID3TagType", kO, &Settings::WMAID3TagType, nullptr, Fix::kTagType012},
    {"AmplifyWMA", kO, &Settings::AmplifyWMA},
    {"AmplifyWMACoeff", kO, &Settings::AmplifyWMACoeff, nullptr, Fix::kGainPercent},

    {"AutoDestOGGEncodingParam", kO, &Settings::AutoDestOGGEncodingParam},
    {"OGGBitRate", kO, &Settings::OGGBitRate, nullptr, Fix::kOggBitRate},
    {"OGGSampleRate", kO, &Settings::OGGSampleRate},
    {"OGGChannels", kO, &Settings::OGGChannels, nullptr, Fix::kChannels012},
    {"OGGID3TagType", kO, &Settings::OGGID3TagType},
    {"AmplifyOGG", kO, &Settings::AmplifyOGG},
    {"AmplifyOGGCoeff", kO, &Settings::AmplifyOGGCoeff, nullptr, Fix::kGainPercent},

    {"AutoDestAACEncodingParam", kO, &Settings::AutoDestAACEncodingParam},
    {"AACVBR", kO, &Settings::AACVBR},
    {"AACVBRQuality", kO, &Settings::AACVBRQuality},
    {"AACABRBitRate", kO, &Settings::AACABRBitRate},
    {"AACMpegVersion", kO, &Settings::AACMpegVersion},
    {"AACEnableTNS", kO, &Settings::AACEnableTNS},
    {"AACEnableMidside", kO, &Settings::AACEnableMidside},
    {"AACBlockType", kO, &Settings::AACBlockType},
    {"AmplifyAAC", kO, &Settings::AmplifyAAC},
    {"AmplifyAACCoef", kO, &Settings::AmplifyAACCoef},

    {"AutoDestM4AEncodingParam", kO, &Settings::AutoDestM4AEncodingParam},
    {"M4AVBR", kO, &Settings::M4AVBR},
    {"M4AVBRQuality", kO, &Settings::M4AVBRQuality},
    {"M4AABRBitRate", kO, &Settings::M4AABRBitRate},
    {"M4AEnableTNS", kO, &Settings::M4AEnableTNS},
    {"M4AEnableMidside", kO, &Settings::M4AEnableMidside},
    {"M4ABlockType", kO, &Settings::M4ABlockType},
    {"AmplifyM4A", kO, &Settings::AmplifyM4A},
    {"AmplifyM4ACoef", kO, &Settings::AmplifyM4ACoef},
    {"M4AID3TagType", kO, &Settings::M4AID3TagType, nullptr, Fix::kTagType012},

    {"AMRMode", kO, &Settings::AMRMode},
    {"AMRWBMode", kO, &Settings::AMRWBMode},
    {"AMRDTX", kO, &Settings::AMRDTX},
    {"AMRType", kO, &Settings::AMRType},
    {"AWBMode", kO, &Settings::AWBMode},
    {"AWBDTX", kO, &Settings::AWBDTX},
    {"AmplifyAMR", kO, &Settings::AmplifyAMR},
    {"AmplifyAMRCoef", kO, &Settings::AmplifyAMRCoef},

    {"FLACCompression", kO, &Settings::FLACCompression, nullptr, Fix::kFlacLevel},
    {"FLACSampleRate", kO, &Settings::FLACSampleRate},
    {"FLACChannels", kO, &Settings::FLACChannels, nullptr, Fix::kChannels012},
    {"FLACID3TagType", kO, &Settings::FLACID3TagType, nullptr, Fix::kTagType012},
    {"AmplifyFLAC", kO, &Settings::AmplifyFLAC},
    {"AmplifyFLACCoeff", kO, &Settings::AmplifyFLACCoeff, nullptr, Fix::kGainPercent},

    {"OpusBitRate", kO, &Settings::OpusBitRate, nullptr, Fix::kOpusBitRate},
    {"OpusRateControl", kO, &Settings::OpusRateControl, nullptr, Fix::kRateControl012},
    {"OpusComplexity", kO, &Settings::OpusComplexity, nullptr, Fix::kComplexity},
    {"OpusChannels", kO, &Settings::OpusChannels, nullptr, Fix::kChannels012},
    {"OpusID3TagType", kO, &Settings::OpusID3TagType, nullptr, Fix::kTagType012},
    {"AmplifyOpus", kO, &Settings::AmplifyOpus},
    {"AmplifyOpusCoeff", kO, &Settings::AmplifyOpusCoeff, nullptr, Fix::kGainPercent},
};

// The texts and numbers of one tag set, under their value names in the family's sub-key.
inline constexpr std::string TagDefaults::*kTagTexts[] = {
    &TagDefaults::Title,    &TagDefaults::Artist,    &TagDefaults::Album,
    &TagDefaults::Year,     &TagDefaults::Genre,     &TagDefaults::Comment,
    &TagDefaults::Composer, &TagDefaults::Copyright, &TagDefaults::CoverPicture,
};
inline constexpr const char* kTagTextNames[] = {"Title",    "Artist",    "Album",
                                                "Year",     "Genre",     "Comment",
                                                "Composer", "Copyright", "CoverPicture"};
static_assert(std::size(kTagTexts) == std::size(kTagTextNames));

struct TagNumber {
  const char* name;
  int TagDefaults::*field;
};
inline constexpr TagNumber kTagNumbers[] = {
    {"TitleAsFileName", &TagDefaults::TitleAsFileName},
    {"TrackNumType", &TagDefaults::TrackNumType},
    {"CustomTrackNum", &TagDefaults::CustomTrackNum},
    {"CarryCover", &TagDefaults::CarryCover},
    {"ReplayGain", &TagDefaults::ReplayGain},
};

// The record's tag sets and the family names their sub-keys are named after.
struct TagFamily {
  const char* name;
  TagDefaults Settings::*tags;
};
inline constexpr TagFamily kTagFamilies[] = {
    {"MP3", &Settings::Mp3Tags}, {"OGG", &Settings::OggTags},   {"WMA", &Settings::WmaTags},
    {"M4A", &Settings::M4aTags}, {"FLAC", &Settings::FlacTags}, {"OPUS", &Settings::OpusTags},
};

}  // namespace sonorell::settings_fields
