#pragma once

#include <string>

#include "settings/settings.h"

namespace sonorell::testing {

inline TagDefaults NonDefaultTags(const std::string& seed) {
  TagDefaults tags;
  tags.TitleAsFileName = 0;
  tags.Title = seed + " title \"quoted\"";
  tags.Artist = seed + " Ärtist – 名前";
  tags.Album = seed + "\nsecond line\r\n";
  tags.Year = "1999";
  tags.Genre = seed + " genre \\ back\\slash";
  tags.Comment = seed + std::string(10000, 'c');
  tags.Composer = seed + " composer\t";
  tags.Copyright = "© " + seed;
  tags.TrackNumType = 2;
  tags.CustomTrackNum = 17;
  tags.CarryCover = 0;
  tags.CoverPicture = "/pictures/" + seed + " front.jpg";
  tags.ReplayGain = 2;
  return tags;
}

// Every field differs from its default, and every value survives the load corrections.
inline Settings NonDefaultSettings() {
  Settings s;
  s.Folder = "/music/" + std::string(600, 'f') + "/Ünïcødé \"x\"\\y";
  s.DestOutputFolderOpt = kOutputToCustomFolder;
  s.DestSpecifiedFolder = "/out/" + std::string(400, 'd');
  s.CreateDirs = 1;
  s.BrowseOutputFolder = 0;
  s.OutputFiles2MyDocuments = 0;
  s.TargetExistsOpt = kTargetExistsSkip;
  s.MonoType = 2;
  s.EnableExtFilter = 1;
  s.FilterExts = "mp3,FLAC,,ogg,";
  s.FilesAtOnce = 64;
  s.KeepDamaged = 1;
  s.SplitLongFiles = 0;
  s.OutputFormat = 1003;
  s.OptStartPageIndex = 4;
  s.AutoDestMP3EncodingParam = 0;
  s.MP3BitRate = 320;
  s.MP3SampleRate = 48000;
  s.MP3ChannelMode = 3;
  s.MP3ID3TagType = 2;
  s.MP3WriteID3Version = 2;
  s.AmplifyMp3 = 1;
  s.AmplifyMp3Coeff = 250;
  s.AutoDestWAVEncodingParam = 0;
  s.WAVBitsPerSample = 24;
  s.WAVSampleRate = 96000;
  s.WAVChannelNum = 0;
  s.AmplifyWav = 1;
  s.AmplifyWavCoeff = 10;
  s.AutoDestWMAEncodingParam = 0;
  s.WMABitRate = 192000;
  s.WMASampleRate = 32000;
  s.WMAChannels = 1;
  s.WMAID3TagType = 0;
  s.AmplifyWMA = 1;
  s.AmplifyWMACoeff = 3000;
  s.AutoDestOGGEncodingParam = 0;
  s.OGGBitRate = 1000;
  s.OGGSampleRate = 22050;
  s.OGGChannels = 1;
  s.OGGID3TagType = 0;
  s.AmplifyOGG = 1;
  s.AmplifyOGGCoeff = 55;
  s.AutoDestAACEncodingParam = 0;
  s.AACVBR = 0;
  s.AACVBRQuality = 150;
  s.AACABRBitRate = 96;
  s.AACMpegVersion = 1;
  s.AACEnableTNS = 1;
  s.AACEnableMidside = 0;
  s.AACBlockType = 2;
  s.AmplifyAAC = 1;
  s.AmplifyAACCoef = 5;
  s.AutoDestM4AEncodingParam = 0;
  s.M4AVBR = 0;
  s.M4AVBRQuality = 80;
  s.M4AABRBitRate = 256;
  s.M4AEnableTNS = 1;
  s.M4AEnableMidside = 0;
  s.M4ABlockType = 1;
  s.AmplifyM4A = 1;
  s.AmplifyM4ACoef = 9000;
  s.M4AID3TagType = 2;
  s.AMRMode = 3;
  s.AMRWBMode = 8;
  s.AMRDTX = 1;
  s.AMRType = 1;
  s.AWBMode = 2;
  s.AWBDTX = 1;
  s.AmplifyAMR = 1;
  s.AmplifyAMRCoef = -7;
  s.FLACCompression = 8;
  s.FLACSampleRate = 96000;
  s.FLACChannels = 1;
  s.FLACID3TagType = 2;
  s.AmplifyFLAC = 1;
  s.AmplifyFLACCoeff = 120;
  s.OpusBitRate = 510;
  s.OpusRateControl = 2;
  s.OpusComplexity = 3;
  s.OpusChannels = 2;
  s.OpusID3TagType = 0;
  s.AmplifyOpus = 1;
  s.AmplifyOpusCoeff = 90;
  s.Mp3Tags = NonDefaultTags("mp3");
  s.OggTags = NonDefaultTags("ogg");
  s.WmaTags = NonDefaultTags("wma");
  s.M4aTags = NonDefaultTags("m4a");
  s.FlacTags = NonDefaultTags("flac");
  s.OpusTags = NonDefaultTags("opus");
  s.ExtensionFilter = {"mp3", "flac", "", "ogg", ""};
  return s;
}

}  // namespace sonorell::testing
