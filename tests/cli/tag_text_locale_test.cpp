// Tag texts through the batch command under the locales scripts run in: the C locale of
// cron jobs, containers and LC_ALL=C, and a legacy locale that cannot hold every text.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/engine/encoders/compressed_output.h"
#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/latin1_locale.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::CliResult;
using testing::FfprobeStream;
using testing::Has;
using testing::RunCli;
using testing::StreamProbe;
using testing::TempFolder;
constexpr auto& Quote = testing::ShellQuote;

const std::string kTitle = "Привет, мир";
const std::string kArtist = "日本語のアーティスト";
const std::string kAlbum = "Notes 🎵 and 😀";  // above U+FFFF
const std::string kGenre = "Электроника";
const std::string kComment = "コメント 😀";

constexpr const char* kReplacedNote = "some tag characters were written as replacement characters";

// A one-second FLAC file with the given Vorbis comments ("-metadata name=value" words).
bool MakeFlac(const std::string& path, const std::string& metadata) {
  return testing::CommandOutput("ffmpeg -nostdin -v error -y -f lavfi -i sine=d=1 " + metadata +
                                " -c:a flac " + Quote(path))
             .has_value() &&
         fs::exists(path);
}

std::string Metadata(const std::string& name, const std::string& value) {
  return " -metadata " + name + "=" + Quote(value);
}

TEST(TagTextLocales, UnderTheCLocaleEveryTagReachesEveryFormat) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("ffprobe");
  TempFolder profile, in, out;
  const std::string flac = in / "song.flac";
  ASSERT_TRUE(MakeFlac(flac, Metadata("title", kTitle) + Metadata("artist", kArtist) +
                                 Metadata("album", kAlbum) + Metadata("genre", kGenre) +
                                 Metadata("comment", kComment) + " -metadata date=2004"));
  // A name that is not UTF-8 still converts, as it always has.
  const std::string odd = in / "odd\xff name.flac";
  fs::copy_file(flac, odd);
  for (const std::string format : {"mp3", "ogg", "opus", "m4a", "wma"}) {
    SCOPED_TRACE(format);
    const CliResult r = RunCli(profile,
                               "convert --no-settings --format " + format + " --out " +
                                   Quote(out.path()) + " " + Quote(flac) + " " + Quote(odd),
                               "LC_ALL=C");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(Has(r.out, kReplacedNote)) << r.out;
    for (const std::string& name : {std::string("song."), std::string("odd\xff name.")}) {
      StreamProbe p = FfprobeStream(out / (name + format));
      ASSERT_TRUE(p.ok) << name << r.out;
      EXPECT_EQ(p.tags["TITLE"], kTitle);
      EXPECT_EQ(p.tags["ARTIST"], kArtist);
      EXPECT_EQ(p.tags["ALBUM"], kAlbum);
      EXPECT_EQ(p.tags["GENRE"], kGenre);
      EXPECT_EQ(p.tags["COMMENT"], kComment);
    }
  }
}

// A locale whose code set cannot hold a text: those characters are written as "?", every
// other character and field as it is, and the file's line and report say so.
TEST(TagTextLocales, ALegacyLocaleReplacesWhatItCannotHoldAndSaysSo) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("ffprobe");
  SONORELL_REQUIRE_TOOL("python3");
  const testing::Latin1Locale latin1;
  if (!latin1.ok()) GTEST_SKIP() << "localedef cannot make a Latin-1 locale here";
  TempFolder profile, in, out;
  ASSERT_TRUE(MakeFlac(in / "mixed.flac", Metadata("title", "Café Müller") +
                                              Metadata("artist", "Пётр") +
                                              Metadata("album", "Ökotopia")));
  ASSERT_TRUE(MakeFlac(in / "plain.flac", Metadata("title", "Crème brûlée")));
  for (const std::string format : {"mp3", "ogg", "opus"}) {
    SCOPED_TRACE(format);
    const std::string report = out / (format + ".json");
    const CliResult r =
        RunCli(profile,
               "convert --no-settings --format " + format + " --out " + Quote(out.path()) +
                   " --report " + Quote(report) + " " + Quote(in.path()),
               latin1.Environment());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "mixed." + format + " (" + kReplacedNote)) << r.out;
    EXPECT_FALSE(Has(r.out, "plain." + format + " (")) << r.out;
    StreamProbe mixed = FfprobeStream(out / ("mixed." + format));
    EXPECT_EQ(mixed.tags["TITLE"], "Café Müller");
    EXPECT_EQ(mixed.tags["ARTIST"], "????");
    EXPECT_EQ(mixed.tags["ALBUM"], "Ökotopia");
    EXPECT_EQ(FfprobeStream(out / ("plain." + format)).tags["TITLE"], "Crème brûlée");
    const auto statuses = testing::CommandOutput(
        "python3 -c " +
        Quote("import json,sys\n"
              "for o in json.load(open(sys.argv[1])): print(o['converted'], o['status'])") +
        " " + Quote(report));
    ASSERT_TRUE(statuses);
    EXPECT_TRUE(Has(*statuses, "True mixed." + format + " (" + kReplacedNote)) << *statuses;
    EXPECT_TRUE(Has(*statuses, "True plain." + format + "\n")) << *statuses;
  }
}

}  // namespace
}  // namespace sonorell
