#include "cli/convert_flags.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <thread>

#include "engine/encoders/tags/cover_image_file.h"
#include "engine/jobs/output_formats.h"
#include "settings/settings_store.h"

namespace sonorell {
namespace fs = std::filesystem;
namespace {

constexpr const char* kUsage =
    "usage: sonorell-cli convert --format FMT [options] PATH...\n"
    "  Converts files, and the whole trees of folders, to one output format.\n"
    "  FMT: wav, mp3, ogg, aac, m4a, mp4, m4b, amr, awb, wma, flac, opus\n"
    "\n"
    "Output:\n"
    "  --out DIR              write the outputs into DIR (default: the stored output folder,\n"
    "                         or beside each source)\n"
    "  --mirror               recreate each source's folders under the output folder\n"
    "  --overwrite            replace an existing target once the new file is complete\n"
    "  --skip                 leave a file whose target exists (a rerun resumes a batch)\n"
    "  --rename               write song_1.mp3, song_2.mp3 ... beside an existing target\n"
    "  --no-settings          ignore the stored options and use the built-in defaults\n"
    "\n"
    "Tags:\n"
    "  --cover IMAGE          put the picture IMAGE (JPEG, PNG, GIF, BMP or WebP) into every\n"
    "                         output that holds one, in place of the source's cover\n"
    "  --no-cover             carry no cover picture to the outputs\n"
    "\n"
    "Encoding (replace the stored options of FMT for this run):\n"
    "  --rate HZ, --bits 8|16, --mono | --stereo, --gain PERCENT (10 to 3000)\n"
    "  --bitrate KBPS         mp3 and ogg: kbit/s; opus: kbit/s, 6 to 510; aac, m4a, mp4,\n"
    "                         m4b: average kbit/s\n"
    "  --quality Q            mp3, ogg: auto, low, ok, medium, cd; aac family: VBR quality\n"
    "                         10 to 500; amr, awb: the codec's mode, 0 to 7 (narrow band) or\n"
    "                         0 to 8 (wide band); wma: auto (the automatic choice); flac:\n"
    "                         the compression level, 0 (fastest) to 8 (smallest, default 5)\n"
    "  --rate-control vbr|cvbr|cbr  opus: variable, constrained variable or constant bit rate\n"
    "  --complexity N         opus: 0 (fastest) to 10 (best, the default)\n"
    "  --rate, --bitrate and --mono/--stereo for wma choose one encoding of the WMA list\n"
    "  (an unknown one prints the list)\n"
    "\n"
    "Batch:\n"
    "  --jobs N               files converted at once, each in a process of its own\n"
    "                         (default: the number of cores)\n"
    "  --no-split             encode a long file on one core only; by default a file of a\n"
    "                         minute or more is encoded in chunks on the cores that fewer\n"
    "                         files than --jobs leave free (MP3, AAC, MP4, Opus, FLAC)\n"
    "  --timeout SECONDS      a file whose conversion shows no progress for this long has\n"
    "                         hung: it fails and the batch goes on (default 600)\n"
    "  --shard I/N            only the I-th of N fixed slices of the sorted file list\n"
    "  --verify               decode each output again and fail it when it is shorter or\n"
    "                         longer than its source (WAV: when a sample differs)\n"
    "  --keep-damaged         a source that breaks off is converted as far as it can be\n"
    "                         decoded and reported partial, instead of failing\n"
    "  --replaygain track|album  tag each output with its ReplayGain (measured as it is\n"
    "                         written), and with album: also with the gain of its album,\n"
    "                         the files of one folder converted together in this run\n"
    "  --report FILE.json     write each file's outcome to FILE.json at the end\n"
    "  --dry-run              print each source and its target, convert and create nothing\n"
    "\n"
    "  --help, --version\n"
    "Exit status: 0 every file converted, 1 any file failed, 2 a usage error.\n";

std::optional<int> ParseWholeNumber(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

int DefaultJobs() {
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 256u));
}

}  // namespace

const char* ConvertUsage() {
  return kUsage;
}

bool ParseConvertFlags(const std::vector<std::string>& args, ConvertFlags& flags,
                       std::string& error) {
  flags.jobs = DefaultJobs();
  const auto needValue = [&](size_t i) {
    if (i + 1 < args.size()) return true;
    error = args[i] + " needs a value";
    return false;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      flags.help = true;
      return true;
    }
    if (a == "--format" || a == "--out") {
      if (!needValue(i)) return false;
      std::string value = args[++i];
      if (a == "--out") {
        if (value.empty()) {
          error = "--out needs a folder";
          return false;
        }
        std::error_code ec;
        value = fs::absolute(value, ec).lexically_normal().string();
        flags.outFolder = value;
      } else {
        flags.format = value;
      }
    } else if (a == "--rate" || a == "--bits" || a == "--gain" || a == "--bitrate" ||
               a == "--complexity") {
      if (!needValue(i)) return false;
      const std::optional<int> value = ParseWholeNumber(args[++i]);
      if (!value) {
        error = a + " needs a whole number, not \"" + args[i] + "\"";
        return false;
      }
      (a == "--rate"         ? flags.overrides.rate
       : a == "--bits"       ? flags.overrides.bits
       : a == "--bitrate"    ? flags.overrides.bitrate
       : a == "--complexity" ? flags.overrides.complexity
                             : flags.overrides.gain) = value;
    } else if (a == "--quality" || a == "--rate-control") {
      if (!needValue(i)) return false;
      (a == "--quality" ? flags.overrides.quality : flags.overrides.rateControl) = args[++i];
    } else if (a == "--mono" || a == "--stereo") {
      flags.overrides.channels = a == "--mono" ? 1 : 2;
    } else if (a == "--mirror") {
      flags.mirror = true;
    } else if (a == "--overwrite" || a == "--skip" || a == "--rename") {
      const int policy = a == "--overwrite" ? kTargetExistsOverwrite
                         : a == "--skip"    ? kTargetExistsSkip
                                            : kTargetExistsRename;
      if (flags.targetExistsPolicy && *flags.targetExistsPolicy != policy) {
        error = "--overwrite, --skip and --rename exclude each other";
        return false;
      }
      flags.targetExistsPolicy = policy;
    } else if (a == "--no-settings") {
      flags.noSettings = true;
    } else if (a == "--verify") {
      flags.verify = true;
    } else if (a == "--keep-damaged") {
      flags.keepDamaged = true;
    } else if (a == "--no-split") {
      flags.noSplit = true;
    } else if (a == "--replaygain") {
      if (!needValue(i)) return false;
      const std::string& v = args[++i];
      if (v != "track" && v != "album") {
        error = "--replaygain needs track or album, not \"" + v + "\"";
        return false;
      }
      flags.replayGain = v == "track" ? 1 : 2;
    } else if (a == "--dry-run") {
      flags.dryRun = true;
    } else if (a == "--jobs" || a == "--timeout") {
      if (!needValue(i)) return false;
      const std::string& v = args[++i];
      const std::optional<int> n = ParseWholeNumber(v);
      if (a == "--jobs") {
        if (!n || *n < 1 || *n > 256) {
          error = "--jobs needs a number from 1 to 256, not \"" + v + "\"";
          return false;
        }
        flags.jobs = *n;
      } else {
        if (!n || *n < 1 || *n > 7 * 24 * 3600) {
          error = "--timeout needs whole seconds from 1 to 604800, not \"" + v + "\"";
          return false;
        }
        flags.timeoutSeconds = *n;
      }
    } else if (a == "--shard") {
      if (!needValue(i)) return false;
      const std::string& v = args[++i];
      flags.shard = ParseShard(v);
      if (!flags.shard) {
        error = "--shard needs I/N with 1 <= I <= N, not \"" + v + "\"";
        return false;
      }
    } else if (a == "--cover") {
      if (!needValue(i)) return false;
      if (args[++i].empty()) {
        error = "--cover needs an image file";
        return false;
      }
      std::error_code ec;
      flags.coverImage = fs::absolute(args[i], ec).lexically_normal().string();
    } else if (a == "--no-cover") {
      flags.noCover = true;
    } else if (a == "--report") {
      if (!needValue(i)) return false;
      if (args[++i].empty()) {
        error = "--report needs a file name";
        return false;
      }
      std::error_code ec;
      flags.reportPath = fs::absolute(args[i], ec).lexically_normal().string();
    } else if (a == "--") {
      flags.paths.insert(flags.paths.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return false;
    } else {
      flags.paths.push_back(a);
    }
  }
  if (flags.format.empty()) {
    error = "--format is required";
    return false;
  }
  flags.formatCode = OutputFormatForExtension(flags.format);
  if (flags.formatCode < 0) {
    error = "unknown output format \"" + flags.format + "\"";
    return false;
  }
  if (flags.paths.empty()) {
    error = "no files to convert";
    return false;
  }
  if (flags.noCover && !flags.coverImage.empty()) {
    error = "--cover and --no-cover exclude each other";
    return false;
  }
  // Checked once here rather than failing every file of the batch on its own.
  if (std::string whyNot;
      !flags.coverImage.empty() && !ReadCoverImageFile(flags.coverImage, whyNot)) {
    error = "--cover " + flags.coverImage + ": " + whyNot;
    return false;
  }
  // A report that could not be written at the end would lose a whole batch's outcomes.
  if (std::error_code ec; !flags.reportPath.empty() &&
                          !fs::is_directory(fs::path(flags.reportPath).parent_path(), ec)) {
    error = "--report: no folder " + fs::path(flags.reportPath).parent_path().string();
    return false;
  }
  return true;
}

bool BuildRunSettings(const ConvertFlags& flags, Settings& settings, std::string& error) {
  settings = CreateDefaultSettings();
  if (!flags.noSettings) LoadSettings(settings);
  settings.OutputFormat = flags.formatCode;
  settings.BrowseOutputFolder = 0;
  if (!ApplyFormatOverrides(settings, flags.formatCode, flags.overrides, error)) return false;
  if (!flags.outFolder.empty()) {
    settings.DestOutputFolderOpt = kOutputToCustomFolder;
    settings.DestSpecifiedFolder = flags.outFolder;
  }
  if (flags.mirror) settings.CreateDirs = 1;
  if (flags.targetExistsPolicy) settings.TargetExistsOpt = *flags.targetExistsPolicy;
  if (flags.keepDamaged) settings.KeepDamaged = 1;
  if (flags.noSplit) settings.SplitLongFiles = 0;
  if (flags.replayGain) {
    for (TagDefaults* tags : TagSetsOf(settings)) tags->ReplayGain = *flags.replayGain;
  }
  settings.CoverImage = flags.coverImage;
  if (flags.noCover) {
    for (TagDefaults* tags : TagSetsOf(settings)) {
      tags->CarryCover = 0;
      tags->CoverPicture.clear();
    }
  }
  return true;
}

}  // namespace sonorell
