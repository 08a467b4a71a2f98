#include "engine/workers/worker_protocol.h"

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
  for (const char* line : {"", "result", "result\t1\tok\t/t.mp3", "result\t2\tok\t/t\t1",
                           "result\t1\tok\t/t\t1\textra", "Result\t1\tok\t/t\t1", "progress\t50",
                           "[mp3 @ 0x1] header missing"}) {
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
  const auto odd = ParseResultLine("result\t1\tok\t/t.mp3\tnan");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->sourceSeconds, 0);
}

// The parent may run under a locale with a decimal comma; the number must not change form.
TEST(WorkerProtocol, SecondsKeepTheirFormUnderAnyLocale) {
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  WorkerResult r;
  r.sourceSeconds = 1.5;
  const std::string line = ResultLine(r);
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_EQ(line.substr(line.rfind('\t') + 1), "1.500") << (german ? "de_DE" : "C");
  r.sourceSeconds = std::numeric_limits<double>::infinity();
  const std::string infinite = ResultLine(r);
  EXPECT_EQ(infinite.substr(infinite.rfind('\t') + 1), "0.000");
}

}  // namespace
}  // namespace sonorell
