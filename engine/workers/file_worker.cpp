#include "engine/workers/file_worker.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "engine/encoders/ogg_stream_serial.h"
#include "engine/jobs/conversion_job.h"
#include "engine/jobs/output_formats.h"
#include "engine/jobs/output_verify.h"
#include "engine/workers/worker_protocol.h"
#include "platform/files/write_all.h"

namespace sonorell {
namespace {

volatile std::sig_atomic_t gCancel = 0;

extern "C" void OnCancelSignal(int) {
  gCancel = 1;
}

bool Cancelled() {
  return gCancel != 0;
}

class ParentLink {
 public:
  explicit ParentLink(int fd) : fd_(fd) {}
  void Send(const std::string& line) {
    const std::string whole = line + "\n";
    // A parent that went away cannot be told; the file still ends whole or not at all.
    platform::WriteAll(fd_, whole.data(), whole.size());
    last_ = Clock::now();
  }
  // Says "still here" when nothing was said for a second, so the parent's silence limit
  // only ever catches a worker that is stuck.
  void KeepAlive() {
    if (Clock::now() - last_ >= std::chrono::seconds(1)) Send(AliveLine());
  }

 private:
  using Clock = std::chrono::steady_clock;
  int fd_;
  Clock::time_point last_ = Clock::now();
};

// The file bar as percent lines for the parent, one per change.
class WorkerProgress : public ConvertProgress {
 public:
  explicit WorkerProgress(ParentLink& link) : link_(link) {}
  void SetFileLine(const std::string&) override {}
  int FileBarWidth() const override { return 100; }
  void SetFileBarRange(int maximum) override { max_ = maximum > 0 ? maximum : 1; }
  void SetFileBarPos(int position) override {
    const int percent = static_cast<int>(static_cast<long long>(position) * 100 / max_);
    if (percent == last_) return;
    last_ = percent;
    link_.Send(ProgressLine(percent));
  }
  void SetOverallLine(const std::string&) override {}
  void SetOverallBarRange(int) override {}
  void StepOverallBar() override {}
  void PumpMessages() override { link_.KeepAlive(); }
  bool CancelRequested() const override { return Cancelled(); }

 private:
  ParentLink& link_;
  int max_ = 1;
  int last_ = -1;
};

// SONORELL_TEST_TRUNCATE_OUTPUT=1: the finished output loses its second half before it is
// verified, as a full disk or a broken encoder would leave it; =flip changes one byte three
// quarters into it instead (tests of verification).
void ApplyTestDamage(const std::string& target) {
  const char* damage = std::getenv("SONORELL_TEST_TRUNCATE_OUTPUT");
  if (!damage) return;
  std::error_code ec;
  const auto size = std::filesystem::file_size(target, ec);
  if (ec || size < 8) return;
  if (std::string(damage) == "1") {
    std::filesystem::resize_file(target, size / 2, ec);
  } else if (std::string(damage) == "flip") {
    if (FILE* f = std::fopen(target.c_str(), "r+b")) {
      const long at = static_cast<long>(size / 4 * 3);
      std::fseek(f, at, SEEK_SET);
      const int c = std::fgetc(f);
      std::fseek(f, at, SEEK_SET);
      std::fputc((c ^ 0x5A) & 0xFF, f);
      std::fclose(f);
    }
  }
}

}  // namespace

void ApplyTestFault(const char* work, const std::string& path) {
  const char* fault = std::getenv("SONORELL_TEST_WORKER_FAULT");
  if (!fault) return;
  const std::string prefix = std::string(work) == "probe" ? "probe-" : "";
  std::string_view rest = fault;
  while (!rest.empty()) {
    const std::string_view setting = rest.substr(0, rest.find(','));
    rest.remove_prefix(std::min(rest.size(), setting.size() + 1));
    const size_t colon = setting.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view kind = setting.substr(0, colon);
    const std::string_view needle = setting.substr(colon + 1);
    if (needle.empty() || path.find(needle) == std::string::npos) continue;
    if (kind == prefix + "crash") {
      std::signal(SIGSEGV, SIG_DFL);
      std::raise(SIGSEGV);
    }
    if (kind == prefix + "hang") {
      for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  }
}

int ConvertPlannedFile(const RunPlan& plan, size_t index, int toParent, int cores) {
  gCancel = 0;
  std::signal(SIGINT, OnCancelSignal);
  std::signal(SIGTERM, OnCancelSignal);
  // A parent that went away ends nothing half-way: the file is finished or cancelled whole.
  std::signal(SIGPIPE, SIG_IGN);
  const PlannedFile& planned = plan.files[index];
  const Settings& settings = plan.settings;
  ApplyTestFault("convert", planned.file.SourcePath);

  // Each file of a run gets the stream serial it would get in one process: the k-th Ogg
  // (Vorbis or Opus) file the k-th number of the sequence, so that a run's files never
  // share one.
  if (settings.OutputFormat == kOutputOgg || settings.OutputFormat == kOutputOpus) {
    for (int n = 1; n < planned.fileNumber; ++n) NextOggStreamSerial();
  }

  ParentLink link(toParent);
  WorkerProgress progress(link);
  SourceFile file = planned.file;
  const std::set<std::string> others = ClaimedByOthers(plan, index);
  EncodeTally tally;
  // Only a verification compares the samples; a plain run spares their digest.
  tally.skipDigest = !plan.verify;
  const FileConversion done =
      ConvertEntry(file, settings, planned.fileNumber, progress,
                   DefaultRunServices().encoderFor(settings.OutputFormat), &others, &tally, cores);

  WorkerResult result;
  result.converted = done.converted;
  result.status = Cancelled() && !done.converted ? std::string(kStatusCancelled) : done.status;
  result.target = done.converted ? file.TargetPath : std::string();
  result.sourceSeconds = tally.sourceSeconds;
  result.loudness = done.loudness;
  result.peak = done.peak;
  if (result.converted && plan.verify) {
    ApplyTestDamage(file.TargetPath);
    const VerifyOutcome v = VerifyOutput(settings.OutputFormat, tally, file.TargetPath, [&link] {
      link.KeepAlive();
      return Cancelled();
    });
    if (!v.ok) {
      // A file that does not hold what was encoded is no output at all.
      std::error_code ec;
      std::filesystem::remove(file.TargetPath, ec);
      result.converted = false;
      result.target.clear();
      result.status = Cancelled() ? std::string(kStatusCancelled)
                                  : std::string(kStatusConversionFailure) + " (" + v.failure + ")";
    }
  }
  link.Send(ResultLine(result));
  return result.converted ? 0 : 1;
}

}  // namespace sonorell
