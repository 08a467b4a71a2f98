// The desktop window converting a batch of two-minute WAV files to MP3 at 128 kbit/s through
// its worker helper, one and two files at once, against the batch command with --jobs 2 on the
// same files (and the same under nice 10, as the window's workers run), in one run; best of
// three each, taken in turns. The window is the program's own, started as the program starts
// it, with a scratch profile and its message boxes answered by nobody; it needs an X server
// (bench/run gives it Xvfb).
// Usage: sonorell_bench_window CLI_PATH [files] [seconds per file] [rounds]
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/encoders/mp3/mp3_options.h"
#include "engine/jobs/decoding_libraries.h"
#include "engine/jobs/output_formats.h"
#include "settings/settings.h"
#include "ui/main_dlg.h"
#include "ui/main_window_services.h"

namespace fs = std::filesystem;

namespace {

// The targets: two at once within 1.15x of the batch command with --jobs 2, and at least
// 1.8 times as fast as one at a time.
constexpr double kAgainstBatchTarget = 1.15;
constexpr double kAgainstOneAtOnceTarget = 0.556;

// The window's own services, with every dialog and opener answered by nobody; what a message
// box would have said goes to the error output.
sonorell::MainWindowServices QuietServices() {
  sonorell::MainWindowServices s = sonorell::DefaultMainWindowServices();
  s.showMessage = [](QWidget*, QMessageBox::Icon, const QString& text) {
    std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
  };
  s.askYesNo = [](QWidget*, const QString&) { return false; };
  s.openWithShell = [](const std::string&, sonorell::DesktopAnswer) {};
  s.selectInFileBrowser = [](const std::string&, sonorell::DesktopAnswer) {};
  s.chooseFiles = [](QWidget*) { return QStringList(); };
  s.chooseFolder = [](QWidget*, const QString&) { return QString(); };
  return s;
}

// MP3 into folder as the batch command's --format mp3 --bitrate 128 sets it: 128 kbit/s, the
// source's rate and channels; filesAtOnce files at once.
void OutputTo(sonorell::CMainDlg& window, const std::string& folder, int filesAtOnce) {
  window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(sonorell::kOutputMp3));
  sonorell::Settings& s = window.CurrentSettings();
  s.DestOutputFolderOpt = sonorell::kOutputToCustomFolder;
  s.DestSpecifiedFolder = folder;
  s.OutputFiles2MyDocuments = 0;
  s.BrowseOutputFolder = 0;
  s.AutoDestMP3EncodingParam = 0;
  s.MP3SampleRate = 0;
  s.MP3BitRate = 128;
  s.MP3ChannelMode = sonorell::kMp3ModeSameAsSource;
  s.FilesAtOnce = filesAtOnce;
}

// The least of the processor times of a job's runs so far (0: none yet).
void KeepLeast(double& least, double seconds) {
  least = least == 0 ? seconds : std::min(least, seconds);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLI_PATH [files] [seconds per file] [rounds]\n", argv[0]);
    return 2;
  }
  const std::string cli = argv[1];
  const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 16;
  const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 120;
  const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
  const std::string dir = (fs::temp_directory_path() / "sonorell-bench-window").string();
  const std::string home = dir + "/home";
  const std::string inputs = dir + "/in";
  const std::string out = dir + "/out";
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(home + "/config");
  fs::create_directories(home + "/runtime");
  fs::permissions(home + "/runtime", fs::perms::owner_all);
  fs::create_directories(inputs);
  // A scratch profile, before anything reads the stored options.
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);

  const std::string length =
      seconds % 60 == 0 ? std::to_string(seconds / 60) + " min" : std::to_string(seconds) + " s";
  const std::string job = std::to_string(count) + " x " + length + " WAV -> MP3 128k";
  const auto fail = [&](const std::string& why) {
    std::printf("%s: %s\n", job.c_str(), why.c_str());
    bench::PrintFailedResult(job + ", window 2 at once vs --jobs 2", why, kAgainstBatchTarget);
    fs::remove_all(dir, ec);
    return 1;
  };

  std::vector<std::string> files;
  for (int i = 1; i <= count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "track%03d.wav", i);
    files.push_back(inputs + "/" + name);
    if (!bench::MakePinkNoiseWav(files.back(), seconds, home)) {
      return fail("sox could not make the inputs");
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(sonorell::kProgramTitle));
  std::setlocale(LC_ALL, "");
  std::string error;
  if (!sonorell::StartDecodingLibraries(error)) return fail("decoding libraries: " + error);
  {
    sonorell::MainWindowServices services = QuietServices();
    if (!fs::exists(services.workerHelper)) {
      return fail("no worker helper at " + services.workerHelper);
    }
    sonorell::CMainDlg window(std::move(services));
    window.show();
    QApplication::processEvents();
    window.AddDroppedItems(files);
    if (window.Files().Count() != count) return fail("the window did not list every file");

    // A window run counts when every row was converted and every output is there; its
    // processor time is that of this process (the window) and of the helper with the workers
    // it waited for, and apart that of the window alone.
    const auto convert = [&](int filesAtOnce, double& cpu, double& windowCpu) {
      OutputTo(window, out, filesAtOnce);
      const double treeBefore = bench::TreeCpuSeconds(getpid());
      const double ownBefore = bench::OwnCpuSeconds(getpid());
      window.Convert();
      KeepLeast(cpu, bench::TreeCpuSeconds(getpid()) - treeBefore);
      KeepLeast(windowCpu, bench::OwnCpuSeconds(getpid()) - ownBefore);
      for (int row = 0; row < window.Files().Count(); ++row) {
        if (window.Files().Entry(row).TargetPath.empty()) return false;
      }
      return bench::CountMp3(out) == count;
    };
    std::vector<std::string> batchArgs = {cli,        "convert", "--jobs",        "2",
                                          "--format", "mp3",     "--bitrate",     "128",
                                          "--out",    out,       "--no-settings", "--overwrite"};
    batchArgs.insert(batchArgs.end(), files.begin(), files.end());
    // The window's helper runs its workers at nice 10, so the desktop stays usable; the batch
    // command the same way shows how much of any gap is that priority on a shared machine.
    std::vector<std::string> niceArgs = {"nice", "-n", "10"};
    niceArgs.insert(niceArgs.end(), batchArgs.begin(), batchArgs.end());
    const auto batchRun = [&](const std::vector<std::string>& args, double& cpu) {
      const bench::Measured m = bench::RunMeasured(args, home);
      if (m.seconds < 0 || bench::CountMp3(out) != count) return false;
      KeepLeast(cpu, m.cpuSeconds);
      return true;
    };
    double batchCpu = 0;
    double niceCpu = 0;
    double twoCpu = 0;
    double oneCpu = 0;
    double twoWindowCpu = 0;
    double oneWindowCpu = 0;
    const std::vector<double> times =
        bench::BestInTurns(rounds, [&] { bench::ClearFolder(out); },
                           {[&] { return batchRun(batchArgs, batchCpu); },
                            [&] { return convert(2, twoCpu, twoWindowCpu); },
                            [&] { return convert(1, oneCpu, oneWindowCpu); },
                            [&] { return batchRun(niceArgs, niceCpu); }});
    if (times[0] < 0) return fail("a run did not convert every file");
    const double batch = times[0];
    const double two = times[1];
    const double one = times[2];
    const double nice = times[3];

    std::printf("%-52s %10s %14s %10s\n", job.c_str(), "seconds", "processor s", "window s");
    std::printf("%-52s %10.3f %14.3f %10.3f\n", "  window, 2 files at once", two, twoCpu,
                twoWindowCpu);
    std::printf("%-52s %10.3f %14.3f %10.3f\n", "  window, 1 file at once", one, oneCpu,
                oneWindowCpu);
    std::printf("%-52s %10.3f %14.3f\n", "  sonorell-cli convert --jobs 2", batch, batchCpu);
    std::printf("%-52s %10.3f %14.3f\n", "  the same under nice 10, as the window's workers run",
                nice, niceCpu);
    std::printf(
        "(processor time: user + system of the window and its helper with its workers, or of\n"
        " the batch command with its workers; window s: the window's process alone; best of %d)\n",
        rounds);
    std::printf(
        "target: window 2 at once within %sx of --jobs 2: %.3fx, %s (%.3fx of it at nice 10)\n",
        bench::TargetText(kAgainstBatchTarget).c_str(), two / batch,
        two / batch <= kAgainstBatchTarget ? "met" : "NOT met", two / nice);
    std::printf("target: window 2 at once at most %sx of 1 at once (1.8x as fast): %.3fx, %s\n",
                bench::TargetText(kAgainstOneAtOnceTarget).c_str(), two / one,
                two / one <= kAgainstOneAtOnceTarget ? "met" : "NOT met");
    bench::PrintResult(job + ", window 2 at once vs --jobs 2", two, batch, kAgainstBatchTarget, 0);
    bench::PrintResult(job + ", window 2 at once vs 1 at once", two, one, kAgainstOneAtOnceTarget,
                       0);
  }
  sonorell::StopDecodingLibraries();
  fs::remove_all(dir, ec);
  return 0;
}
