#include "engine/jobs/conversion_job.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "engine/encoders/wma/build_profile_list.h"
#include "engine/jobs/help_pages.h"
#include "engine/jobs/output_formats.h"
#include "engine/jobs/target_path.h"
#include "engine/paths/path_rules.h"
#include "engine/sources/failure_note.h"
#include "platform/desktop/program_folder.h"
#include "platform/wmf/wm_runtime.h"

namespace sonorell {
namespace {

bool IsNonEmptyFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

class WaitCursor {
 public:
  explicit WaitCursor(RunHost& host) : host_(host) { host_.SetWaitCursor(true); }
  ~WaitCursor() { host_.SetWaitCursor(false); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  RunHost& host_;
};

bool PrepareSoundFont(std::span<SourceFile* const> entries, RunState& state, RunHost& host,
                      const RunServices& services) {
  if (state.SoundFontReady) return true;
  bool anyMidi = false;
  for (const SourceFile* e : entries) anyMidi = anyMidi || e->InputType == kInputMidi;
  if (!anyMidi) return true;
  state.SoundFontReady = services.loadDefaultSoundFont(services.programFolder + kSoundFontFileName);
  if (state.SoundFontReady) return true;
  if (host.AskYesNo(SoundFontQuestion(services.soundFontFolder))) {
    // An installed program's folder is not the user's to write: the font goes to their
    // own data folder, made here so that it can be opened.
    std::error_code ec;
    std::filesystem::create_directories(services.soundFontFolder, ec);
    host.OpenWithShell(services.soundFontFolder);
    host.OpenWithShell(services.soundFontHelpAddress);
    return false;
  }
  return true;  // MIDI rows fail one by one, the others convert
}

}  // namespace

std::string RunLine(int number, int count, const std::string& formatName) {
  return "Converting " + std::to_string(number) + " of " + std::to_string(count) + " file(s) to " +
         formatName + "...";
}

std::string FileStartLine(const std::string& sourcePath) {
  return "Converting " + FileNamePart(sourcePath) + "...";
}

RunServices DefaultRunServices() {
  RunServices s;
  s.wmRuntimeLoaded = [] { return platform::WmRuntimeLoaded(); };
  s.loadWmRuntime = [] { return platform::LoadWmRuntime(); };
  s.fillWmaProfileList = [] { BuildProfileList(SharedWmaProfileList()); };
  // ct4mgm.sf2 beside the program, else the system's General MIDI font.
  s.loadDefaultSoundFont = [](const std::string& fontPath) {
    return LoadDefaultSoundFont(FolderPart(fontPath));
  };
  s.encoderFor = [](int code) -> EncoderFunction {
    EncoderEntry entry = EncoderFor(code);
    return entry ? EncoderFunction(entry) : EncoderFunction();
  };
  s.programFolder = platform::ShippedFilesFolder();
  // Beside the program when the user may write there (a build tree, a copy of their own),
  // else their own data folder, which the sound font is looked for in too.
  const std::string user = platform::UserDataFolder();
  s.soundFontFolder =
      (::access(s.programFolder.c_str(), W_OK) == 0 || user.empty()) ? s.programFolder : user;
  // The help shipped with the program explains what to install; there is no vendor
  // download here.
  s.wmRuntimeHelpAddress = s.programFolder + kWmRuntimeHelpPage;
  s.soundFontHelpAddress = s.programFolder + kSoundFontHelpPage;
  return s;
}

bool CheckWindowsMediaRuntime(RunHost& host, const RunServices& services) {
  if (services.wmRuntimeLoaded()) return true;
  if (!services.loadWmRuntime()) {
    if (host.AskYesNo(kWmRuntimeQuestion)) host.OpenWithShell(services.wmRuntimeHelpAddress);
    return false;
  }
  if (services.fillWmaProfileList) services.fillWmaProfileList();
  return true;
}

std::string SoundFontQuestion(const std::string& programFolder) {
  return "Dear user, to decode MIDI file, file \"ct4mgm.sf2\" is required.\nUnfortunately, the "
         "file isn't available on your computer.\n\nDo you want to download the file from our "
         "website for free now?\n\nOnce download completes, please copy the file to folder:\n\"" +
         programFolder + "\"\nAnd then convert your MIDI file again. Thank you.";
}

FileConversion ConvertEntry(SourceFile& e, const Settings& settings, int fileNumber,
                            ConvertProgress& progress, const EncoderFunction& encoder,
                            const std::set<std::string>* claimedByOthers, EncodeTally* tally,
                            int cores) {
  FileConversion done;
  if (!ResolveTargetPath(e, done.status, settings, claimedByOthers)) return done;
  ClearFailureNote();
  int result = 0;
  OutputNotes notes;
  if (encoder) {
    const EncodeContext context{settings, fileNumber, tally, &notes, cores};
    result = encoder(e.InputType, e.SourcePath, e.TargetPath, progress, context);
  } else {
    SetFailureNote("this build cannot write " + FormatName(settings.OutputFormat) + " files");
  }
  if (result != 0 && IsNonEmptyFile(e.TargetPath)) {
    done.converted = true;
    done.status = FileNamePart(e.TargetPath);
    done.loudness = notes.loudnessBlocks;
    done.peak = notes.samplePeak;
    // A damaged source kept as far as it could be decoded: the row says so.
    if (const std::string& note = GetFailureNote(); note.starts_with(kPartialNotePrefix)) {
      done.status += " (" + note + ")";
      done.noted = true;
    }
    if (notes.tagTextReplaced) {
      done.status += std::string(" (") + kTagTextReplacedNote + ")";
      done.noted = true;
    }
    if (!notes.coverNote.empty()) {
      done.status += " (the cover picture was left out: " + notes.coverNote + ")";
      done.noted = true;
    }
    return done;
  }
  done.status = kStatusConversionFailure;
  if (const std::string& note = GetFailureNote(); !note.empty()) {
    done.status += " (" + note + ")";
    done.noted = true;
  }
  return done;
}

bool PrepareRun(std::span<SourceFile* const> entries, const Settings& settings, RunState& state,
                RunHost& host, const RunServices& services) {
  if (settings.OutputFormat == kOutputWma && !CheckWindowsMediaRuntime(host, services))
    return false;
  return PrepareSoundFont(entries, state, host, services);
}

bool ConvertOneByOne(std::span<SourceFile* const> entries, std::span<const int> rows,
                     const Settings& settings, RunState& state, RunHost& host,
                     const RunServices& services, ConvertProgress& progress) {
  const int count = static_cast<int>(entries.size());
  const std::string formatName = FormatName(settings.OutputFormat);
  const EncoderFunction encoder = services.encoderFor(settings.OutputFormat);

  state.RunFileNumber = 1;
  for (size_t i = 0; i < entries.size(); ++i, ++state.RunFileNumber) {
    SourceFile& e = *entries[i];
    const int row = i < rows.size() ? rows[i] : static_cast<int>(i);
    std::string status;

    if (e.InputType == kInputMidi && !state.SoundFontReady) {
      status = kStatusNeedsSoundFont;
    } else {
      host.EnsureRowVisible(row);
      host.SetRowStatus(row, kStatusConverting);
      progress.SetOverallLine(RunLine(state.RunFileNumber, count, formatName));
      progress.StepOverallBar();
      progress.SetFileLine(FileStartLine(e.SourcePath));
      progress.SetFileBarPos(0);

      const FileConversion done =
          ConvertEntry(e, settings, state.RunFileNumber, progress, encoder, nullptr, nullptr);
      if (done.converted) {
        if (done.noted) WidenStatusColumn(state, host);
        host.SetRowStatus(row, done.status);
        progress.PumpMessages();
        if (progress.CancelRequested()) break;
        continue;
      }
      status = done.status;
      if (done.noted) WidenStatusColumn(state, host);
    }

    e.TargetPath.clear();
    if (progress.CancelRequested()) {
      host.SetRowStatus(row, kStatusCancelled);
      break;
    }
    host.SetRowStatus(row, status);
  }
  return progress.CancelRequested();
}

void WidenStatusColumn(RunState& state, RunHost& host) {
  if (state.StatusColumnWidth >= kWideStatusColumn) return;
  state.StatusColumnWidth = kWideStatusColumn;
  host.SetStatusColumnWidth(kWideStatusColumn);
}

void ConvertFiles(std::span<SourceFile* const> entries, std::span<const int> rows,
                  const Settings& settings, RunState& state, RunHost& host,
                  const RunServices& services, const FileLoop& loop) {
  const WaitCursor waitCursor(host);
  if (!PrepareRun(entries, settings, state, host, services)) return;

  host.SetMainWindowEnabled(false);
  std::unique_ptr<ConvertProgress> progress = host.OpenConvertProgress();
  progress->SetOverallBarRange(static_cast<int>(entries.size()));
  progress->PumpMessages();

  const bool cancelled =
      loop ? loop(entries, rows, settings, state, host, *progress)
           : ConvertOneByOne(entries, rows, settings, state, host, services, *progress);
  progress.reset();
  host.SetMainWindowEnabled(true);

  if (cancelled || !settings.BrowseOutputFolder) return;
  for (const SourceFile* e : entries) {
    if (IsNonEmptyFile(e->TargetPath)) {
      host.SelectInFileBrowser(e->TargetPath);
      return;
    }
  }
}

}  // namespace sonorell
