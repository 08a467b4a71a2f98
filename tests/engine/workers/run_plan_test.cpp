#include "engine/workers/run_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/jobs/conversion_job.h"
#include "engine/jobs/output_formats.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::TempFolder;

RunEntry Entry(const std::string& path, InputTypeCode type = kInputWav) {
  RunEntry e;
  e.file.SourcePath = path;
  e.file.InputType = type;
  return e;
}

Settings Into(const std::string& folder, int existsPolicy) {
  Settings s;
  s.OutputFormat = kOutputMp3;
  s.DestOutputFolderOpt = kOutputToCustomFolder;
  s.DestSpecifiedFolder = folder;
  s.OutputFiles2MyDocuments = 0;
  s.TargetExistsOpt = existsPolicy;
  return s;
}

// The plan gives files that would write one name distinct targets by the rename rule, skips
// the later ones by the skip rule and shares one target (so they run one after the other)
// under overwrite, counting the files before each as already written; it never touches the
// disk; each worker later confirms its target with the others' claimed.
TEST(RunPlan, EarlierFilesClaimTheirTargetsUnderEveryRule) {
  TempFolder in, out;
  testing::WriteFileBytes(out / "a.mp3", "the user's file");
  const std::vector<RunEntry> entries{Entry(in / "a.wav"), Entry(in / "a.flac"),
                                      Entry(in / "a_1.wav"), Entry(in / "tune.mid", kInputMidi)};

  const RunPlan renamed =
      PlanRun(Into(out.path(), kTargetExistsRename), entries, /*soundFontReady=*/true, false);
  ASSERT_EQ(renamed.files.size(), 4u);
  EXPECT_EQ(renamed.files[0].target, out / "a_1.mp3");
  EXPECT_EQ(renamed.files[1].target, out / "a_2.mp3");
  EXPECT_EQ(renamed.files[2].target, out / "a_1_1.mp3");
  EXPECT_EQ(renamed.files[3].target, out / "tune.mp3");
  EXPECT_EQ(testing::ListFolder(out.path()), "a.mp3\n");
  EXPECT_EQ(ClaimedByOthers(renamed, 0),
            (std::set<std::string>{out / "a_2.mp3", out / "a_1_1.mp3", out / "tune.mp3"}));

  const RunPlan skipped = PlanRun(Into(out.path(), kTargetExistsSkip), entries, false, false);
  EXPECT_EQ(skipped.files[0].refusal, "Target exists and skipped");
  EXPECT_EQ(skipped.files[2].target, out / "a_1.mp3");
  EXPECT_EQ(skipped.files[3].refusal, kStatusNeedsSoundFont);
  EXPECT_TRUE(skipped.files[3].target.empty());

  std::filesystem::remove(out / "a.mp3");
  const RunPlan overwritten =
      PlanRun(Into(out.path(), kTargetExistsOverwrite), entries, true, true);
  EXPECT_TRUE(overwritten.verify);
  EXPECT_EQ(overwritten.files[0].target, out / "a.mp3");
  EXPECT_EQ(overwritten.files[1].target, out / "a.mp3");
  EXPECT_TRUE(overwritten.files[1].refusal.empty());
  EXPECT_EQ(overwritten.files[1].partFolders, std::vector<std::string>{out.path() + "/"});
}

}  // namespace
}  // namespace sonorell
