#pragma once

#include <array>
#include <string>
#include <vector>

#include "settings/tag_defaults.h"

namespace sonorell {

// Values of DestOutputFolderOpt and TargetExistsOpt as the option pages write them.
inline constexpr int kOutputToSourceFolder = 199;
inline constexpr int kOutputToCustomFolder = 399;
inline constexpr int kTargetExistsRename = 11;
inline constexpr int kTargetExistsOverwrite = 22;
inline constexpr int kTargetExistsSkip = 33;

// Every persisted option, named exactly as its registry value. Numbers are stored as
// 32-bit values; a plain default-constructed record holds the defaults that do not depend
// on the user's documents folder (see CreateDefaultSettings).
struct Settings {
  // General
  std::string Folder;
  int DestOutputFolderOpt = kOutputToSourceFolder;
  std::string DestSpecifiedFolder;
  int CreateDirs = 0;
  int BrowseOutputFolder = 1;
  int OutputFiles2MyDocuments = 1;
  int TargetExistsOpt = kTargetExistsRename;
  int MonoType = 0;
  int EnableExtFilter = 0;
  std::string FilterExts;
  // Files converted at once, 1..64; 0 stands for the machine's number of cores (see
  // EffectiveFilesAtOnce in settings/files_at_once.h).
  int FilesAtOnce = 0;
  // A long file is encoded on the cores that fewer files than FilesAtOnce leave free, in
  // chunks joined seamlessly (formats that allow it); 1 by default.
  int SplitLongFiles = 1;
  // A source that breaks off is converted as far as it can be decoded (the row says the
  // output is partial) instead of failing; 0 by default.
  int KeepDamaged = 0;
  int OutputFormat = 1000;
  int OptStartPageIndex = 0;

  // MP3
  int AutoDestMP3EncodingParam = 1;
  int MP3BitRate = 128;
  int MP3SampleRate = 44100;
  int MP3ChannelMode = 1;
  int MP3ID3TagType = 1;
  int MP3WriteID3Version = 1;
  int AmplifyMp3 = 0;
  int AmplifyMp3Coeff = 100;

  // WAV
  int AutoDestWAVEncodingParam = 1;
  int WAVBitsPerSample = 16;
  int WAVSampleRate = 44100;
  int WAVChannelNum = 2;
  int AmplifyWav = 0;
  int AmplifyWavCoeff = 100;

  // WMA
  int AutoDestWMAEncodingParam = 1;
  int WMABitRate = 128000;
  int WMASampleRate = 44100;
  int WMAChannels = 2;
  int WMAID3TagType = 1;
  int AmplifyWMA = 0;
  int AmplifyWMACoeff = 100;

  // Ogg Vorbis
  int AutoDestOGGEncodingParam = 1;
  int OGGBitRate = 128;
  int OGGSampleRate = 44100;
  int OGGChannels = 2;
  int OGGID3TagType = 1;
  int AmplifyOGG = 0;
  int AmplifyOGGCoeff = 100;

  // Raw AAC
  int AutoDestAACEncodingParam = 1;
  int AACVBR = 1;
  int AACVBRQuality = 100;
  int AACABRBitRate = 128;
  int AACMpegVersion = 0;
  int AACEnableTNS = 0;
  int AACEnableMidside = 1;
  int AACBlockType = 0;
  int AmplifyAAC = 0;
  int AmplifyAACCoef = 100;

  // MP4 family (M4A, MP4, M4B)
  int AutoDestM4AEncodingParam = 1;
  int M4AVBR = 1;
  int M4AVBRQuality = 100;
  int M4AABRBitRate = 128;
  int M4AEnableTNS = 0;
  int M4AEnableMidside = 1;
  int M4ABlockType = 0;
  int AmplifyM4A = 0;
  int AmplifyM4ACoef = 100;
  int M4AID3TagType = 1;

  // AMR and AWB
  int AMRMode = 6;
  int AMRWBMode = 6;
  int AMRDTX = 0;
  int AMRType = 0;
  int AWBMode = 6;
  int AWBDTX = 0;
  int AmplifyAMR = 0;
  int AmplifyAMRCoef = 100;

  // FLAC: compression level 0..8; rate 0 and channels 0 keep the source's.
  int FLACCompression = 5;
  int FLACSampleRate = 0;
  int FLACChannels = 0;
  int FLACID3TagType = 1;
  int AmplifyFLAC = 0;
  int AmplifyFLACCoeff = 100;

  // Opus: bit rate in kbps, 0 for 128 (stereo) or 64 (mono); rate control 0 variable,
  // 1 constrained variable, 2 constant; complexity 0..10; channels 0 keep the source's.
  int OpusBitRate = 0;
  int OpusRateControl = 0;
  int OpusComplexity = 10;
  int OpusChannels = 0;
  int OpusID3TagType = 1;
  int AmplifyOpus = 0;
  int AmplifyOpusCoeff = 100;

  // Default tags, one set per tagging family.
  TagDefaults Mp3Tags;
  TagDefaults OggTags;
  TagDefaults WmaTags;
  TagDefaults M4aTags;
  TagDefaults FlacTags;
  TagDefaults OpusTags;

  // Derived from EnableExtFilter and FilterExts; never stored.
  std::vector<std::string> ExtensionFilter;
  // A picture the batch command writes into every output that holds one, in place of the
  // carried or default picture (--cover); never stored.
  std::string CoverImage;

  bool operator==(const Settings&) const = default;
};

// The default tags of every tagging family.
inline std::array<TagDefaults*, 6> TagSetsOf(Settings& s) {
  return {&s.Mp3Tags, &s.OggTags, &s.WmaTags, &s.M4aTags, &s.FlacTags, &s.OpusTags};
}

}  // namespace sonorell
