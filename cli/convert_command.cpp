#include "cli/convert_command.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <system_error>

#include "cli/format_overrides.h"
#include "cli/terminal_progress.h"
#include "engine/encoders/forwarding_progress.h"
#include "engine/jobs/conversion_job.h"
#include "engine/jobs/folder_search.h"
#include "engine/jobs/input_types.h"
#include "engine/jobs/output_formats.h"
#include "settings/settings_store.h"

namespace sonorell {
namespace fs = std::filesystem;
namespace {

constexpr const char* kUsage =
    "usage: sonorell-cli convert --format FMT [--out DIR] [--rate HZ] [--bits 8|16]\n"
    "                            [--mono|--stereo] [--bitrate KBPS] [--quality Q]\n"
    "                            [--gain PERCENT] PATH...\n"
    "  FMT: wav, mp3, ogg, aac, m4a, mp4, m4b, amr, awb, wma\n"
    "  --rate, --bits, --mono/--stereo, --bitrate, --quality and --gain replace the\n"
    "  stored options of FMT for this run\n"
    "  --bitrate (mp3, ogg): kbit/s; --quality (mp3, ogg): auto, low, ok, medium, cd\n"
    "  --bitrate (aac, m4a, mp4, m4b): average kbit/s; --quality: VBR quality 10 to 500\n"
    "  --quality (amr, awb): the codec's mode, 0 to 7 (narrow band) or 0 to 8 (wide band)\n"
    "  --rate, --bitrate, --mono/--stereo (wma): one encoding of the WMA list (an unknown\n"
    "  one prints the list); --quality auto (wma): the automatic choice\n"
    "  PATH: files, or folders whose whole tree is converted\n";

std::optional<int> ParseWholeNumber(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "sonorell-cli: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

// Prints one line per finished file: source, target and the row's Status text.
class CommandLineHost : public RunHost {
 public:
  explicit CommandLineHost(const std::vector<SourceFile>& files) : files_(files) {}

  void SetWaitCursor(bool) override {}
  void SetMainWindowEnabled(bool) override {}
  void EnsureRowVisible(int) override {}
  void SetStatusColumnWidth(int) override {}
  void SelectInFileBrowser(const std::string&) override {}
  void OpenWithShell(const std::string&) override {}

  void SetRowStatus(int row, const std::string& text) override {
    if (text == kStatusConverting) return;
    const SourceFile& file = files_[static_cast<size_t>(row)];
    terminal_.ClearLine();
    std::printf("%s -> %s: %s\n", file.SourcePath.c_str(),
                file.TargetPath.empty() ? "(none)" : file.TargetPath.c_str(), text.c_str());
    std::fflush(stdout);
  }

  // Nobody is there to answer: the question is shown and answered No.
  bool AskYesNo(const std::string& question) override {
    terminal_.ClearLine();
    std::fprintf(stderr, "%s\n(answered No)\n", question.c_str());
    return false;
  }

  std::unique_ptr<ConvertProgress> OpenConvertProgress() override {
    return std::make_unique<ForwardingProgress>(terminal_, [this] { terminal_.ClearLine(); });
  }

 private:
  const std::vector<SourceFile>& files_;
  TerminalProgress terminal_;
};

// Files named directly, and the trees of named folders. The same file named twice is
// converted once.
bool CollectInputs(const std::vector<std::string>& paths, const Settings& settings,
                   std::vector<SourceFile>& files) {
  std::set<std::pair<dev_t, ino_t>> seen;
  bool allFound = true;
  for (const std::string& given : paths) {
    std::error_code ec;
    const std::string absolute = fs::absolute(given, ec).lexically_normal().string();
    std::vector<std::string> found;
    if (fs::is_directory(absolute, ec)) {
      CollectFolderFiles(found, absolute, settings.EnableExtFilter != 0, settings.ExtensionFilter);
    } else if (fs::exists(absolute, ec)) {
      found.push_back(absolute);
    } else {
      std::fprintf(stderr, "sonorell-cli: %s: no such file or folder\n", given.c_str());
      allFound = false;
    }
    for (const std::string& path : found) {
      struct stat st {};
      if (::stat(path.c_str(), &st) == 0 && !seen.insert({st.st_dev, st.st_ino}).second) continue;
      SourceFile file;
      file.SourcePath = path;
      file.InputType = InputTypeForPath(path);
      files.push_back(std::move(file));
    }
  }
  return allFound;
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& args) {
  std::string format;
  std::string outFolder;
  std::vector<std::string> paths;
  FormatOverrides overrides;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--format" || a == "--out") {
      if (i + 1 >= args.size()) return UsageError(a + " needs a value");
      (a == "--format" ? format : outFolder) = args[++i];
    } else if (a == "--rate" || a == "--bits" || a == "--gain" || a == "--bitrate") {
      if (i + 1 >= args.size()) return UsageError(a + " needs a value");
      const std::optional<int> value = ParseWholeNumber(args[++i]);
      if (!value) return UsageError(a + " needs a whole number, not \"" + args[i] + "\"");
      (a == "--rate"      ? overrides.rate
       : a == "--bits"    ? overrides.bits
       : a == "--bitrate" ? overrides.bitrate
                          : overrides.gain) = value;
    } else if (a == "--quality") {
      if (i + 1 >= args.size()) return UsageError(a + " needs a value");
      overrides.quality = args[++i];
    } else if (a == "--mono" || a == "--stereo") {
      overrides.channels = a == "--mono" ? 1 : 2;
    } else if (a == "--") {
      paths.insert(paths.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a[0] == '-') {
      return UsageError("unknown option " + a);
    } else {
      paths.push_back(a);
    }
  }
  if (format.empty()) return UsageError("--format is required");
  const OutputFormatCode code = OutputFormatForExtension(format);
  if (code < 0) return UsageError("unknown output format \"" + format + "\"");
  if (paths.empty()) return UsageError("no files to convert");

  Settings settings = CreateDefaultSettings();
  LoadSettings(settings);
  settings.OutputFormat = code;
  settings.BrowseOutputFolder = 0;
  if (std::string error; !ApplyFormatOverrides(settings, code, overrides, error)) {
    return UsageError(error);
  }
  if (!outFolder.empty()) {
    std::error_code ec;
    settings.DestOutputFolderOpt = kOutputToCustomFolder;
    settings.DestSpecifiedFolder = fs::absolute(outFolder, ec).lexically_normal().string();
  }

  std::vector<SourceFile> files;
  const bool allFound = CollectInputs(paths, settings, files);
  if (files.empty()) {
    std::fprintf(stderr, "sonorell-cli: nothing to convert\n");
    return kExitSomeFailed;
  }

  std::vector<SourceFile*> entries;
  std::vector<int> rows;
  for (size_t i = 0; i < files.size(); ++i) {
    entries.push_back(&files[i]);
    rows.push_back(static_cast<int>(i));
  }
  CommandLineHost host(files);
  RunState state;
  ConvertFiles(entries, rows, settings, state, host, DefaultRunServices());

  // A kept target path is the mark of a converted file; rows a run never reached
  // (Cancel, a missing runtime) are failures too.
  int converted = 0;
  for (const SourceFile& f : files) {
    if (!f.TargetPath.empty()) ++converted;
  }
  const size_t notReached = files.size() - static_cast<size_t>(converted);
  std::printf("%d of %zu file(s) converted\n", converted, files.size());
  return allFound && notReached == 0 ? kExitConverted : kExitSomeFailed;
}

}  // namespace sonorell
