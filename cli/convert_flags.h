#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/format_overrides.h"
#include "cli/shard.h"
#include "settings/settings.h"

namespace sonorell {

// Everything `sonorell-cli convert` is told on its command line.
struct ConvertFlags {
  std::string format;  // output extension, without dot
  int formatCode = -1;
  std::string outFolder;                  // empty: the stored output-folder option
  bool mirror = false;                    // recreate the source folders under the output folder
  std::optional<int> targetExistsPolicy;  // kTargetExistsRename/Overwrite/Skip
  FormatOverrides overrides;
  bool noSettings = false;
  int jobs = 1;
  int timeoutSeconds = 600;
  std::optional<Shard> shard;
  std::string reportPath;
  bool verify = false;
  bool keepDamaged = false;       // convert broken-off sources as far as they decode
  bool noSplit = false;           // a long file is encoded on one core
  std::optional<int> replayGain;  // 1 track gains, 2 track and album gains
  bool dryRun = false;
  std::string coverImage;  // --cover: the picture every output that holds one gets
  bool noCover = false;    // --no-cover: no picture at all
  bool help = false;
  std::vector<std::string> paths;
};

// The full usage text of the convert command.
const char* ConvertUsage();

// Reads the command line. False with a message when it cannot be understood (the caller
// exits with the usage status); help is set by --help.
bool ParseConvertFlags(const std::vector<std::string>& args, ConvertFlags& flags,
                       std::string& error);

// The settings of the run: the stored ones (or the built-in defaults with --no-settings)
// with the command line's choices on top. False with a message when a value is refused.
bool BuildRunSettings(const ConvertFlags& flags, Settings& settings, std::string& error);

}  // namespace sonorell
