#pragma once

#include <functional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "engine/dsp/loudness_histogram.h"
#include "engine/encoders/encoder_entry.h"
#include "engine/jobs/run_host.h"
#include "engine/jobs/source_file.h"
#include "engine/sources/bass/default_sound_font.h"
#include "engine/sources/failure_note.h"
#include "settings/settings.h"

namespace sonorell {

// Status texts of a row after a run.
inline constexpr const char* kStatusConverting = "Converting...";
inline constexpr const char* kStatusConversionFailure = "Conversion Failure";
inline constexpr const char* kStatusCancelled = "Cancelled";
inline constexpr const char* kStatusNeedsSoundFont = "Failure. Requires file \"ct4mgm.sf2\".";
// A converted row's status is the output's file name; when the source broke off and the
// options keep what could be decoded, " (partial: the source breaks off at ...)" follows.
// True for the status of such an output.
inline bool IsPartialStatus(std::string_view status) {
  return status.find(std::string(" (") + std::string(kPartialNotePrefix)) != std::string_view::npos;
}

// Added after the output's name when a tag text could not be written as it was.
inline constexpr const char* kTagTextReplacedNote =
    "some tag characters were written as replacement characters: the system code page "
    "cannot hold them";

inline constexpr const char* kWmRuntimeQuestion =
    "Dear user, WMA file requires Windows Media Format 9 Series Runtime.\nUnfortunately, the "
    "component isn't available on your computer.\n\nDo you want to download and install it now?";

// The Status column is widened once to this many pixels when a failure carries a note.
inline constexpr int kWideStatusColumn = 500;
inline constexpr int kInitialStatusColumn = 145;

// State of the list window that outlives a run.
struct RunState {
  bool SoundFontReady = false;
  int RunFileNumber = 0;
  int StatusColumnWidth = kInitialStatusColumn;
};

// The libraries and files a run prepares, and the encoders it calls. The defaults are the
// real ones; tests replace them.
struct RunServices {
  std::function<bool()> wmRuntimeLoaded;
  std::function<bool()> loadWmRuntime;
  std::function<void()> fillWmaProfileList;
  // Loads a MIDI sound font file and makes it the default of every MIDI stream.
  std::function<bool(const std::string& path)> loadDefaultSoundFont;
  std::function<EncoderFunction(int outputFormat)> encoderFor;
  std::string programFolder;         // ends in "/": the shipped files' folder (help, sound font)
  std::string soundFontFolder;       // where the user is asked to put the sound font
  std::string wmRuntimeHelpAddress;  // opened when the user wants the Windows Media runtime
  std::string soundFontHelpAddress;  // opened when the user wants the sound font
};

RunServices DefaultRunServices();

// True when the Windows Media runtime is there for WMA work. Loads it on first use (and
// then fills the WMA format list); when it is missing, asks whether the user wants to
// install it and returns false.
bool CheckWindowsMediaRuntime(RunHost& host, const RunServices& services);

// The overall line of a run: "Converting %d of %d file(s) to %s...".
std::string RunLine(int number, int count, const std::string& formatName);
// The file line as a file starts: "Converting %s..." with the source's file name.
std::string FileStartLine(const std::string& sourcePath);

// The sound-font question, with the folder the user should copy the file into.
std::string SoundFontQuestion(const std::string& programFolder);

// The outcome of one file: converted (file.TargetPath names the output), or the row's
// failure text.
struct FileConversion {
  bool converted = false;
  std::string status;  // the output's file name (with a note), or the reason it failed
  bool noted = false;  // the status carries a note (the Status column widens for it)
  // With ReplayGain: the output's loudness blocks and sample peak, for its album's gain.
  LoudnessHistogram loudness;
  double peak = 0.0;
};

// One file of a run once its turn has come: resolves its target (stepping over the targets
// other files of the run claim), runs the encoder and checks what it left. On failure the
// entry's TargetPath may hold the refused path; the caller clears it.
FileConversion ConvertEntry(SourceFile& e, const Settings& settings, int fileNumber,
                            ConvertProgress& progress, const EncoderFunction& encoder,
                            const std::set<std::string>* claimedByOthers, EncodeTally* tally,
                            int cores = 1);

// The preparations of a run, asked before any file starts: the Windows Media runtime for
// WMA output, the MIDI sound font for MIDI inputs. False when the run ends here.
bool PrepareRun(std::span<SourceFile* const> entries, const Settings& settings, RunState& state,
                RunHost& host, const RunServices& services);

// The Status column widens once, the first time a failure carries a note.
void WidenStatusColumn(RunState& state, RunHost& host);

// How the files of a prepared run are carried out, with the progress window open and the
// main window locked: every row's outcome goes to its Status cell. True when cancelled.
using FileLoop = std::function<bool(std::span<SourceFile* const> entries, std::span<const int> rows,
                                    const Settings& settings, RunState& state, RunHost& host,
                                    ConvertProgress& progress)>;

// The files one after the other in this process, each through ConvertEntry.
bool ConvertOneByOne(std::span<SourceFile* const> entries, std::span<const int> rows,
                     const Settings& settings, RunState& state, RunHost& host,
                     const RunServices& services, ConvertProgress& progress);

// Converts the given entries, shown at the parallel list rows, to settings.OutputFormat:
// prepares the run, locks the window, opens the progress window, runs the files through
// loop (one by one in this process when it is empty), and shows the first output in the
// file browser when asked. Nothing is asked during the loop.
void ConvertFiles(std::span<SourceFile* const> entries, std::span<const int> rows,
                  const Settings& settings, RunState& state, RunHost& host,
                  const RunServices& services, const FileLoop& loop = {});

}  // namespace sonorell
