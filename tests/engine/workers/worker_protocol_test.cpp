#include "engine/workers/worker_protocol.h"

#include "engine/workers/helper_protocol.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

namespace sonorell {
namespace {

// A worker's result must come back field for field whatever bytes the file names hold:
// a tab or line break in a name would otherwise shift the fields or split the line.
TEST(WorkerProtocol, ResultLinesKeepEveryFieldWhole) {
  WorkerResult r;
  r.converted = true;
  r.status = "song\tone.mp3";
  r.target = "/music/a\\b\nc\r\xff\xfe.mp3";
  r.sourceSeconds = 12.3456;
  const std::string line = ResultLine(r);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  const auto back = ParseResultLine(line);
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->converted);
  EXPECT_EQ(back->status, r.status);
  EXPECT_EQ(back->target, r.target);
  EXPECT_NEAR(back->sourceSeconds, 12.346, 1e-9);

  WorkerResult failed;
  failed.status = "Conversion Failure";
  const auto none = ParseResultLine(ResultLine(failed));
  ASSERT_TRUE(none);
  EXPECT_FALSE(none->converted);
  EXPECT_EQ(none->target, "");
}

// Library chatter or a damaged line is never taken for a result or a progress step.
TEST(WorkerProtocol, OtherLinesAreNotResults) {
  for (const char* line :
       {"", "result", "result\t1\tok\t/t.mp3", "result\t2\tok\t/t\t1\t\t0",
        "result\t1\tok\t/t\t1\t\t0\textra", "Result\t1\tok\t/t\t1\t\t0",
        "result\t1\tok\t/t\t1\tloud\t0", "progress\t50", "[mp3 @ 0x1] header missing"}) {
    EXPECT_FALSE(ParseResultLine(line)) << line;
  }
  for (const char* line : {"progress", "progress\t", "progress\t101", "progress\t-1",
                           "progress\t5x", "progress\t 5", "progress\t5\t6", "result\t1"}) {
    EXPECT_FALSE(ParseProgressLine(line)) << line;
  }
  EXPECT_EQ(ParseProgressLine(ProgressLine(0)), 0);
  EXPECT_EQ(ParseProgressLine(ProgressLine(100)), 100);
  EXPECT_EQ(ParseProgressLine(ProgressLine(250)), 100);
  EXPECT_EQ(ParseProgressLine(ProgressLine(-4)), 0);
  // An unreadable duration is no duration rather than no result.
  const auto odd = ParseResultLine("result\t1\tok\t/t.mp3\tnan\t\t0");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->sourceSeconds, 0);
}

// The parent may run under a locale with a decimal comma; the number must not change form.
TEST(WorkerProtocol, SecondsKeepTheirFormUnderAnyLocale) {
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  WorkerResult r;
  r.sourceSeconds = 1.5;
  r.loudness.Add(-23.456);
  r.peak = 0.25;
  const std::string line = ResultLine(r);
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_EQ(line.substr(line.find("\t1.500\t")), "\t1.500\t-2346:1\t0.250000")
      << (german ? "de_DE" : "C");
  const std::optional<WorkerResult> back = ParseResultLine(line);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->loudness, r.loudness);
  EXPECT_EQ(back->peak, 0.25);
  // The widest measure a file can give, every level from -70 to +30 LUFS, stays within what
  // the parent reads of a line (1 MB) and comes back whole.
  WorkerResult wide;
  for (int step = -7000; step <= 3000; ++step) {
    for (int n = 0; n < 3; ++n) wide.loudness.Add(step / 100.0);
  }
  const std::string wideLine = ResultLine(wide);
  EXPECT_LT(wideLine.size(), 1024u * 1024u);
  const std::optional<WorkerResult> wideBack = ParseResultLine(wideLine);
  ASSERT_TRUE(wideBack);
  EXPECT_EQ(wideBack->loudness, wide.loudness);
  r.sourceSeconds = std::numeric_limits<double>::infinity();
  const std::string infinite = ResultLine(r);
  EXPECT_NE(infinite.find("\t0.000\t"), std::string::npos);
}

// The window hands the helper its whole snapshot in one block: every field must arrive as it
// left, whatever bytes paths and options hold; a damaged block is dropped whole and the next
// one still reads.
TEST(HelperProtocol, RequestsArriveWholeAndDamagedOnesAreDropped) {
  ConvertRequest sent;
  sent.parallel = 3;
  sent.silenceLimit = std::chrono::seconds(42);
  sent.soundFontReady = true;
  sent.settings.DestSpecifiedFolder = "/out\\put\tfolder\nwith\r odd \xff bytes";
  sent.settings.Mp3Tags.Artist = "go\nsettings\tX";
  sent.settings.FilesAtOnce = 7;
  sent.entries.push_back({SourceFile{"/in/one\t.wav", 0, 4, 0, 0, 0, kInputWav, ""}, 5});
  sent.entries.push_back({SourceFile{"/in/go", 0, 4, 0, 0, 0, kInputMidi, ""}, 6});

  RequestReader reader;
  int completed = 0;
  // Garbage first, then a block cut short by a new one, then the whole request.
  for (const std::string& line :
       {std::string("nonsense"), std::string("go"), FieldsLine({"convert", "2", "600", "0"}),
        FieldsLine({"file", "/x", "2000", "1"})}) {
    completed += reader.Feed(line) ? 1 : 0;
  }
  for (const std::string& line : RequestLines(sent)) completed += reader.Feed(line) ? 1 : 0;
  ASSERT_EQ(completed, 1);
  ASSERT_TRUE(reader.convert);
  EXPECT_EQ(reader.convert->parallel, 3);
  EXPECT_EQ(reader.convert->silenceLimit, std::chrono::seconds(42));
  EXPECT_TRUE(reader.convert->soundFontReady);
  EXPECT_EQ(reader.convert->settings, sent.settings);
  ASSERT_EQ(reader.convert->entries.size(), 2u);
  EXPECT_EQ(reader.convert->entries[0].file.SourcePath, "/in/one\t.wav");
  EXPECT_EQ(reader.convert->entries[1].file.InputType, kInputMidi);
  EXPECT_EQ(reader.convert->entries[1].fileNumber, 6);

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{FieldsLine({"convert", "0", "600", "1"}), "go"},
        std::vector<std::string>{FieldsLine({"convert", "2", "600", "1"}), "go"},  // no settings
        std::vector<std::string>{FieldsLine({"probe", "2", "-1"}), "go"},
        std::vector<std::string>{FieldsLine({"probe", "2", "60"}),
                                 FieldsLine({"file", "/x", "2000", "1"}), "go"}}) {
    RequestReader r;
    bool done = false;
    for (const std::string& line : bad) done = r.Feed(line) || done;
    EXPECT_FALSE(done) << bad[0];
  }

  ProbeRequest probe;
  probe.paths = {"/a\\b", "/c\nd"};
  RequestReader r;
  bool done = false;
  for (const std::string& line : RequestLines(probe)) done = r.Feed(line) || done;
  ASSERT_TRUE(done && r.probe);
  EXPECT_EQ(r.probe->paths, probe.paths);
}

// The helper's events come back with every field; lines that are not events are ignored.
TEST(HelperProtocol, EventsKeepTheirFields) {
  FileOutcome o;
  o.converted = true;
  o.status = "a\tb.mp3";
  o.target = "/o/a\tb.mp3";
  o.durationSeconds = 61.5;
  const auto finished = ParseHelperEvent(FinishedLine(12, o));
  ASSERT_TRUE(finished);
  EXPECT_EQ(finished->kind, HelperEvent::Kind::kFinished);
  EXPECT_EQ(finished->index, 12u);
  EXPECT_EQ(finished->outcome.target, o.target);
  EXPECT_EQ(finished->outcome.status, o.status);
  EXPECT_DOUBLE_EQ(finished->outcome.durationSeconds, 61.5);
  EXPECT_EQ(ParseHelperEvent(PercentLine(3, 77))->percent, 77);
  EXPECT_TRUE(ParseHelperEvent(EndLine(true))->cancelled);
  ProbeReport p;
  p.index = 4;
  p.opened = true;
  p.file.SampleRate = 48000;
  p.file.Duration = 3600;
  const auto probed = ParseHelperEvent(ProbedLine(p));
  ASSERT_TRUE(probed);
  EXPECT_EQ(probed->probe.file.SampleRate, 48000);
  EXPECT_EQ(probed->probe.file.Duration, 3600);
  for (const char* line : {"", "started", "started\t-1", "percent\t1\t101", "finished\t1\t1",
                           "probed\t1\t1\t\t2\t4\t44100\t128", "[aac @ 0x5] noise"}) {
    EXPECT_FALSE(ParseHelperEvent(line)) << line;
  }
}

}  // namespace
}  // namespace sonorell
