// The gain tag writers of Ogg Vorbis, Opus and FLAC on our own files and on files made by
// oggenc, opusenc, flac and ffmpeg: the gains are read back by each format's own tool,
// earlier gains of any style are replaced, other comments and pictures stay, the audio
// decodes to the same samples, and the validators find nothing wrong. Files with room are
// edited in place; the others are written again.
#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <sys/stat.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/encoders/flac/flac_gain_tags.h"
#include "engine/encoders/ogg/ogg_gain_tags.h"
#include "engine/encoders/opus/opus_gain_tags.h"
#include "engine/encoders/tags/gain_texts.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"
#include "engine/sources/failure_note.h"
#include "tests/engine/encoders/compressed_output.h"
#include "tests/engine/encoders/tags/xiph_outputs.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::ReadFileBytes;
using testing::TempFolder;
constexpr auto& Quote = testing::ShellQuote;

enum class Family { kVorbis, kOpus, kFlac };

// The comments as the format's own tool lists them, one "NAME=value" a line.
std::vector<std::string> Comments(Family family, const std::string& path) {
  std::string listed;
  if (family == Family::kVorbis) {
    listed = CommandOutput("vorbiscomment -l -R " + Quote(path)).value_or("");
  } else if (family == Family::kFlac) {
    listed = CommandOutput("metaflac --export-tags-to=- " + Quote(path)).value_or("");
  } else {
    // opusinfo indents the comments by a tab under "User comments section follows...".
    std::istringstream lines(CommandOutput("LC_ALL=C.UTF-8 opusinfo " + Quote(path)).value_or(""));
    std::string line;
    bool inComments = false;
    while (std::getline(lines, line)) {
      if (line.find("User comments section follows") != std::string::npos) {
        inComments = true;
      } else if (inComments && !line.empty() && line[0] == '\t') {
        listed += line.substr(1) + "\n";
      } else {
        inComments = false;
      }
    }
  }
  std::vector<std::string> comments;
  std::istringstream lines(listed);
  std::string line;
  while (std::getline(lines, line)) comments.push_back(line);
  return comments;
}

// The gain comments among them, upper-cased names.
std::vector<std::string> GainComments(const std::vector<std::string>& comments) {
  std::vector<std::string> gains;
  for (std::string comment : comments) {
    const size_t eq = comment.find('=');
    for (size_t i = 0; i < eq && i < comment.size(); ++i) {
      comment[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(comment[i])));
    }
    if (comment.starts_with("REPLAYGAIN_") || comment.starts_with("R128_")) {
      gains.push_back(comment);
    }
  }
  std::sort(gains.begin(), gains.end());
  return gains;
}

std::vector<std::string> ExpectedGains(Family family, const GainTags& gains) {
  std::vector<std::string> expected;
  if (family == Family::kOpus) {
    if (gains.album) expected.push_back("R128_ALBUM_GAIN=" + R128GainText(*gains.album));
    if (gains.track) expected.push_back("R128_TRACK_GAIN=" + R128GainText(*gains.track));
    return expected;
  }
  if (gains.album) {
    expected.push_back("REPLAYGAIN_ALBUM_GAIN=" + ReplayGainText(*gains.album));
    expected.push_back("REPLAYGAIN_ALBUM_PEAK=" + ReplayGainPeakText(*gains.album));
  }
  if (gains.track) {
    expected.push_back("REPLAYGAIN_TRACK_GAIN=" + ReplayGainText(*gains.track));
    expected.push_back("REPLAYGAIN_TRACK_PEAK=" + ReplayGainPeakText(*gains.track));
  }
  return expected;
}

// What is wrong with the file's Ogg pages: bytes that make no page, a checksum that does
// not match, a sequence number out of turn within a stream, checked page by page whatever
// the validators make of them.
std::string PageProblems(const std::string& path) {
  std::string bytes = ReadFileBytes(path);
  std::map<uint32_t, uint32_t> nextSequence;
  size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 27 || bytes.compare(at, 4, "OggS") != 0) {
      return "no page at " + std::to_string(at);
    }
    auto* header = reinterpret_cast<unsigned char*>(bytes.data() + at);
    const size_t segments = header[26];
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += header[27 + i];
    if (bytes.size() - at < 27 + segments + body)
      return "a page cut short at " + std::to_string(at);
    ogg_page page{header, static_cast<long>(27 + segments), header + 27 + segments,
                  static_cast<long>(body)};
    const std::string stored(reinterpret_cast<char*>(header) + 22, 4);
    ogg_page_checksum_set(&page);
    if (stored != std::string(reinterpret_cast<char*>(header) + 22, 4)) {
      return "a wrong checksum at " + std::to_string(at);
    }
    const auto serial = static_cast<uint32_t>(ogg_page_serialno(&page));
    const auto sequence = static_cast<uint32_t>(ogg_page_pageno(&page));
    if (ogg_page_bos(&page)) nextSequence[serial] = 0;
    if (sequence != nextSequence[serial]) {
      return "page " + std::to_string(sequence) + " where " + std::to_string(nextSequence[serial]) +
             " belongs";
    }
    nextSequence[serial] = sequence + 1;
    at += 27 + segments + body;
  }
  return "";
}

// What the format's validator complains of; empty when the file is clean.
std::string Problems(Family family, const std::string& path) {
  if (family == Family::kVorbis) return PageProblems(path) + testing::OgginfoProblems(path);
  if (family == Family::kFlac) {
    return CommandOutput("flac -t -s " + Quote(path) + " 2>&1 && echo clean").value_or("") ==
                   "clean\n"
               ? ""
               : "flac -t failed";
  }
  const std::string out =
      CommandOutput("opusinfo " + Quote(path) + " 2>&1 && echo clean").value_or("failed");
  return out.find("WARNING") == std::string::npos && out.find("ERROR") == std::string::npos &&
                 out.ends_with("clean\n")
             ? PageProblems(path)
             : out;
}

ino_t Inode(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

struct Sample {
  std::string name;
  Family family;
  bool hasRoom;  // our files with room kept for the gains: the first edit is in place too
};

GainTagWriter WriterOf(Family family) {
  switch (family) {
    case Family::kVorbis:
      return WriteOggGainTags;
    case Family::kOpus:
      return WriteOpusGainTags;
    case Family::kFlac:
      break;
  }
  return WriteFlacGainTags;
}

TEST(XiphGainTags, WrittenInPlaceOrAgainOnOursAndOtherProgramsFilesKeepingAudioAndComments) {
  for (const char* tool : {"ffmpeg", "sox", "oggenc", "opusenc", "flac", "metaflac",
                           "vorbiscomment", "ogginfo", "opusinfo"}) {
    SONORELL_REQUIRE_TOOL(tool);
  }
  TempFolder dir;
  const std::string wav = dir / "tone.wav";
  const std::string png = dir / "cover.png";
  ASSERT_TRUE(testing::MakeTone(wav, 44100, 2, 3.0));
  ASSERT_TRUE(testing::MakeImage(png, 96, 64));
  const std::string picture = ReadFileBytes(png);
  // A picture large enough that the comment header spans many pages.
  const std::string bigPng = dir / "big.png";
  ASSERT_TRUE(
      CommandOutput("ffmpeg -nostdin -v error -f lavfi -i "
                    "'nullsrc=s=400x400,geq=random(1)*255:random(2)*255:128' "
                    "-frames:v 1 " +
                    Quote(bigPng)));

  // Old gains of both styles, names in any case: all of them go.
  const auto run = [](const std::string& command) {
    ASSERT_TRUE(CommandOutput(command)) << command;
  };
  const std::string w = Quote(wav);
  run("oggenc -Q -a Band -c 'REPLAYGAIN_TRACK_GAIN=+3.00 dB' -c replaygain_album_peak=0.5 "
      "-c R128_TRACK_GAIN=99 -o " +
      Quote(dir / "oggenc.ogg") + " " + w);
  run("opusenc --quiet --artist Band --comment 'REPLAYGAIN_TRACK_GAIN=+3.00 dB' "
      "--comment r128_track_gain=99 --picture " +
      Quote(png) + " " + w + " " + Quote(dir / "opusenc.opus"));
  run("flac -s -T ARTIST=Band -T 'REPLAYGAIN_TRACK_GAIN=+3.00 dB' -T R128_TRACK_GAIN=99 "
      "--picture=" +
      Quote(png) + " -o " + Quote(dir / "flac.flac") + " " + w);
  for (const char* name : {"ffmpeg.ogg", "ffmpeg.opus", "ffmpeg.flac"}) {
    const std::string codec = std::string(name).ends_with(".ogg")    ? "libvorbis"
                              : std::string(name).ends_with(".opus") ? "libopus"
                                                                     : "flac";
    run("ffmpeg -nostdin -v error -i " + w + " -c:a " + codec +
        " -metadata ARTIST=Band -metadata 'REPLAYGAIN_TRACK_GAIN=+3.00 dB' " + Quote(dir / name));
  }
  // Old gains so long that the comment header needs a page more than the new one: the
  // stream's pages after it are renumbered.
  run("cp " + Quote(dir / "oggenc.ogg") + " " + Quote(dir / "bloated.ogg") +
      " && vorbiscomment -a -t REPLAYGAIN_REFERENCE_LOUDNESS=" + std::string(70000, '8') + " " +
      Quote(dir / "bloated.ogg"));
  TagRecord tags;
  tags.artist = "Band";
  ExtraTags extras;
  extras.cover = CoverPicture{3, "image/png", "", picture};
  const std::vector<CommentField> comments = OggCommentFields(&tags, extras);
  ASSERT_TRUE(testing::WriteOurVorbis(dir / "ours.ogg", comments));
  ASSERT_TRUE(testing::WriteOurOpus(dir / "ours.opus", comments));
  FlacStreamSetup setup;
  setup.comments = VorbisCommentFields(tags);
  setup.picture = extras.cover;
  setup.padding = kFlacGainPadding;
  ASSERT_TRUE(testing::WriteOurFlac(dir / "ours.flac", setup));
  extras.cover->data = ReadFileBytes(bigPng);
  ASSERT_TRUE(testing::WriteOurVorbis(dir / "big.ogg", OggCommentFields(&tags, extras)));
  ASSERT_TRUE(testing::WriteOurOpus(dir / "big.opus", OggCommentFields(&tags, extras)));

  const std::vector<Sample> samples{
      {"ours.ogg", Family::kVorbis, false},   {"ours.opus", Family::kOpus, true},
      {"ours.flac", Family::kFlac, true},     {"big.ogg", Family::kVorbis, false},
      {"big.opus", Family::kOpus, true},      {"oggenc.ogg", Family::kVorbis, false},
      {"opusenc.opus", Family::kOpus, true},  {"flac.flac", Family::kFlac, true},
      {"ffmpeg.ogg", Family::kVorbis, false}, {"ffmpeg.opus", Family::kOpus, false},
      {"ffmpeg.flac", Family::kFlac, false},  {"bloated.ogg", Family::kVorbis, false},
  };
  // Each sample is edited three times: track and album; then the track only; then the
  // track again with texts of the same lengths, which always fits in place.
  const GainTags edits[] = {
      {Loudness{-9.87, 0.912345}, Loudness{-11.5, 0.99}},
      {Loudness{-20.5, 0.5}, std::nullopt},
      {Loudness{-20.7, 0.25}, std::nullopt},
  };
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.name);
    const std::string path = dir / sample.name;
    const std::string audio = testing::DecodedMd5(path);
    const std::optional<std::string> pictureBefore = testing::FfmpegAttachedPicture(path);
    std::vector<std::string> others;
    for (const std::string& comment : Comments(sample.family, path)) {
      if (GainComments({comment}).empty()) others.push_back(comment);
    }
    ASSERT_FALSE(others.empty());
    for (size_t e = 0; e < std::size(edits); ++e) {
      SCOPED_TRACE("edit " + std::to_string(e + 1));
      const ino_t before = Inode(path);
      ASSERT_TRUE(WriterOf(sample.family)(path, edits[e])) << GetFailureNote();
      if (e == 2 || (e == 0 && sample.hasRoom)) {
        EXPECT_EQ(Inode(path), before) << "edited in place";
      }
      const std::vector<std::string> now = Comments(sample.family, path);
      EXPECT_EQ(GainComments(now), ExpectedGains(sample.family, edits[e]));
      std::vector<std::string> kept;
      for (const std::string& comment : now) {
        if (GainComments({comment}).empty()) kept.push_back(comment);
      }
      EXPECT_EQ(kept, others) << "the other comments stay as they were";
      EXPECT_EQ(testing::FfmpegAttachedPicture(path), pictureBefore);
      EXPECT_EQ(testing::DecodedMd5(path), audio);
      EXPECT_EQ(Problems(sample.family, path), "");
    }
  }
  EXPECT_EQ(testing::ListFolder(dir.path()).find(".part"), std::string::npos)
      << testing::ListFolder(dir.path());
}

TEST(XiphGainTags, FilesThatCannotBeEditedAreLeftAsTheyWereWithANote) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder dir;
  const std::string wav = dir / "tone.wav";
  ASSERT_TRUE(testing::MakeTone(wav, 44100, 2, 1.0));
  ASSERT_TRUE(testing::WriteOurVorbis(dir / "whole.ogg", {}));
  ASSERT_TRUE(testing::WriteOurOpus(dir / "whole.opus", {}));
  const std::string vorbis = ReadFileBytes(dir / "whole.ogg");
  const std::string opus = ReadFileBytes(dir / "whole.opus");
  // Cut inside the headers; other formats; a stream of the other codec.
  testing::WriteFileBytes(dir / "cut.ogg", vorbis.substr(0, 90));
  testing::WriteFileBytes(dir / "cut.opus", opus.substr(0, 60));
  testing::WriteFileBytes(dir / "wave.ogg", ReadFileBytes(wav));
  testing::WriteFileBytes(dir / "wave.flac", ReadFileBytes(wav));
  testing::WriteFileBytes(dir / "vorbis.opus", vorbis);
  const GainTags gains{Loudness{-14, 0.9}, Loudness{-15, 0.95}};
  const std::string listing = testing::ListFolder(dir.path());
  struct Refused {
    const char* name;
    GainTagWriter writer;
  };
  for (const auto& [name, writer] :
       {Refused{"cut.ogg", WriteOggGainTags}, Refused{"cut.opus", WriteOpusGainTags},
        Refused{"wave.ogg", WriteOggGainTags}, Refused{"wave.flac", WriteFlacGainTags},
        Refused{"vorbis.opus", WriteOpusGainTags}, Refused{"missing.ogg", WriteOggGainTags},
        Refused{"missing.flac", WriteFlacGainTags}}) {
    SCOPED_TRACE(name);
    const std::string before = ReadFileBytes(dir / name);
    ClearFailureNote();
    EXPECT_FALSE(writer(dir / name, gains));
    EXPECT_FALSE(GetFailureNote().empty());
    EXPECT_EQ(ReadFileBytes(dir / name), before);
  }
  EXPECT_EQ(testing::ListFolder(dir.path()), listing);
}

TEST(XiphGainTags, DamagedCommentHeadersWithValidChecksumsAreRefusedOrEditedNeverOverrun) {
  TempFolder dir;
  const std::vector<CommentField> comments{{"ARTIST", "Band"}, {"TITLE", "Song"}};
  ASSERT_TRUE(testing::WriteOurVorbis(dir / "whole.ogg", comments));
  ASSERT_TRUE(testing::WriteOurOpus(dir / "whole.opus", comments));
  const GainTags gains{Loudness{-14, 0.9}, std::nullopt};
  for (const auto& [name, writer] :
       {std::pair{"whole.ogg", &WriteOggGainTags}, std::pair{"whole.opus", &WriteOpusGainTags}}) {
    SCOPED_TRACE(name);
    const std::string whole = ReadFileBytes(dir / name);
    // The comment header's page: the second one, right after the first page's 27 + 1 + body.
    const size_t second = 28 + static_cast<uint8_t>(whole[27]);
    const size_t secondBody = second + 27 + static_cast<uint8_t>(whole[second + 26]);
    uint32_t random = 12345;
    for (int round = 0; round < 400; ++round) {
      std::string damaged = whole;
      for (int flips = 0; flips < 3; ++flips) {
        random = random * 1103515245 + 12345;
        // Mostly the lengths and count near the start of the comment header.
        const size_t span = round % 2 == 0 ? 48 : 400;
        damaged[secondBody + (random >> 8) % span] = static_cast<char>(random >> 24);
      }
      auto* page = reinterpret_cast<unsigned char*>(damaged.data() + second);
      ogg_page header{page, static_cast<long>(27 + page[26]), page + 27 + page[26],
                      static_cast<long>(0)};
      for (size_t i = 0; i < page[26]; ++i) header.body_len += page[27 + i];
      ogg_page_checksum_set(&header);
      const std::string path = dir / ("damaged-" + std::string(name));
      testing::WriteFileBytes(path, damaged);
      ClearFailureNote();
      if (!writer(path, gains)) {
        EXPECT_FALSE(GetFailureNote().empty());
        EXPECT_EQ(ReadFileBytes(path), damaged) << "round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace sonorell
