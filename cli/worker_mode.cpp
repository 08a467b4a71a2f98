#include "cli/worker_mode.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <thread>

#include "cli/convert_command.h"
#include "cli/output_verify.h"
#include "cli/worker_protocol.h"
#include "engine/encoders/convert_progress.h"
#include "engine/encoders/ogg/ogg_encoder.h"
#include "engine/jobs/conversion_job.h"
#include "engine/jobs/output_formats.h"
#include "engine/sources/source_factory.h"

namespace sonorell {
namespace {

volatile std::sig_atomic_t gWorkerCancel = 0;

extern "C" void OnWorkerInterrupt(int) {
  gWorkerCancel = 1;
}

bool Cancelled() {
  return gWorkerCancel != 0;
}

// The parent's pipe. Decoder libraries sometimes print to standard output; those lines
// go to standard error instead, so they can never break or fake a protocol line.
FILE* gToParent = nullptr;

void ClaimStandardOutput() {
  std::fflush(stdout);
  const int pipe = ::dup(STDOUT_FILENO);
  if (pipe < 0) return;
  gToParent = ::fdopen(pipe, "w");
  if (!gToParent) {
    ::close(pipe);
    return;
  }
  ::fcntl(pipe, F_SETFD, FD_CLOEXEC);
  ::dup2(STDERR_FILENO, STDOUT_FILENO);
}

void SendLine(const std::string& line) {
  FILE* to = gToParent ? gToParent : stdout;
  std::fputs((line + "\n").c_str(), to);
  std::fflush(to);
}

// The file bar as percent lines for the parent, one per change.
class WorkerProgress : public ConvertProgress {
 public:
  void SetFileLine(const std::string&) override {}
  int FileBarWidth() const override { return 100; }
  void SetFileBarRange(int maximum) override { max_ = maximum > 0 ? maximum : 1; }
  void SetFileBarPos(int position) override {
    const int percent = static_cast<int>(static_cast<long long>(position) * 100 / max_);
    if (percent == last_) return;
    last_ = percent;
    SendLine(ProgressLine(percent));
  }
  void SetOverallLine(const std::string&) override {}
  void SetOverallBarRange(int) override {}
  void StepOverallBar() override {}
  void PumpMessages() override {}
  bool CancelRequested() const override { return Cancelled(); }

 private:
  int max_ = 1;
  int last_ = -1;
};

// The run's window for one file: it keeps the last Status text; questions go to standard
// error and are answered No, since nobody is there to answer.
class WorkerHost : public RunHost {
 public:
  std::string status;

  void SetWaitCursor(bool) override {}
  void SetMainWindowEnabled(bool) override {}
  void EnsureRowVisible(int) override {}
  void SetStatusColumnWidth(int) override {}
  void SelectInFileBrowser(const std::string&) override {}
  void OpenWithShell(const std::string&) override {}
  void SetRowStatus(int, const std::string& text) override {
    if (text != kStatusConverting) status = text;
  }
  bool AskYesNo(const std::string& question) override {
    std::fprintf(stderr, "%s\n(answered No)\n", question.c_str());
    return false;
  }
  std::unique_ptr<ConvertProgress> OpenConvertProgress() override {
    return std::make_unique<WorkerProgress>();
  }
};

// SONORELL_TEST_WORKER_FAULT=crash:<text> or hang:<text>: a worker whose source path holds
// <text> crashes or hangs before converting, as a decoder might on a hostile file. Tests
// of the batch use it; nothing else sets it.
void ApplyTestFault(const std::string& sourcePath) {
  const char* fault = std::getenv("SONORELL_TEST_WORKER_FAULT");
  if (!fault) return;
  const std::string setting = fault;
  const size_t colon = setting.find(':');
  if (colon == std::string::npos) return;
  const std::string what = setting.substr(0, colon);
  const std::string needle = setting.substr(colon + 1);
  if (needle.empty() || sourcePath.find(needle) == std::string::npos) return;
  if (what == "crash") {
    std::signal(SIGSEGV, SIG_DFL);
    std::raise(SIGSEGV);
  }
  if (what == "hang") {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
}

// SONORELL_TEST_TRUNCATE_OUTPUT=1: the finished output loses its second half before it is
// verified, as a full disk or a broken encoder would leave it; =flip changes one byte three
// quarters into it instead (tests of --verify).
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

double ProbedSeconds(const SourceFile& file) {
  const std::unique_ptr<AudioSource> source =
      CreateAudioSource(file.SourcePath, file.InputType, 0, false);
  return source ? source->GetDuration() : 0;
}

}  // namespace

int RunWorker(const ConvertFlags& flags, const Settings& settings, SourceFile file) {
  gWorkerCancel = 0;
  std::signal(SIGINT, OnWorkerInterrupt);
  std::signal(SIGTERM, OnWorkerInterrupt);
  // A parent that went away ends nothing half-way: the file is finished or cancelled whole.
  std::signal(SIGPIPE, SIG_IGN);
  ClaimStandardOutput();
  ApplyTestFault(file.SourcePath);

  // Each file of a batch gets the stream serial it would get in one process: the k-th Ogg
  // file the k-th number of the sequence, so that a batch's files never share one.
  if (settings.OutputFormat == kOutputOgg) {
    for (int n = 1; n < flags.fileNumber; ++n) NextOggStreamSerial();
  }
  WorkerResult result;
  result.sourceSeconds = ProbedSeconds(file);

  SourceFile* entry = &file;
  const int row = 0;
  WorkerHost host;
  RunState state;
  state.FirstFileNumber = flags.fileNumber;
  ConvertFiles(std::span<SourceFile* const>(&entry, 1), std::span<const int>(&row, 1), settings,
               state, host, DefaultRunServices());
  result.converted = !file.TargetPath.empty();
  result.status = host.status.empty() ? "Not converted" : host.status;
  result.target = file.TargetPath;

  if (result.converted && flags.verify) {
    ApplyTestDamage(file.TargetPath);
    const VerifyOutcome v =
        VerifyOutput(settings, file.InputType, file.SourcePath, file.TargetPath, Cancelled);
    if (v.sourceSeconds > 0) result.sourceSeconds = v.sourceSeconds;
    if (!v.ok) {
      // A file that does not hold what the source held is no output at all.
      std::error_code ec;
      std::filesystem::remove(file.TargetPath, ec);
      result.converted = false;
      result.target.clear();
      result.status = Cancelled() ? std::string(kStatusCancelled)
                                  : std::string(kStatusConversionFailure) + " (" + v.failure + ")";
    }
  }
  SendLine(ResultLine(result));
  return result.converted ? kExitConverted : kExitSomeFailed;
}

}  // namespace sonorell
