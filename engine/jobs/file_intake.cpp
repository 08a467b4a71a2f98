#include "engine/jobs/file_intake.h"

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "engine/jobs/folder_search.h"
#include "engine/jobs/input_types.h"
#include "engine/paths/path_rules.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 50> kFilterLabels{
    "All Files (*.*)",
    "3GPP Files (*.3gp;*.3gpp)",
    "3GPP2 Files (*.3g2;*.3gp2)",
    "Adobe Flash Files (*.swf)",
    "Advanced Audio Coding (*.aac)",
    "AIFF Files (*.aiff;*.aif;*.aifc;*.afc)",
    "AMR Files (*.amr;*.awb)",
    "AU Files (*.au;*.snd)",
    "AVI Files (*.avi)",
    "CD Audio (*.cda)",
    "Creative Voice Files (*.voc)",
    "CRI ADX Files (*.adx)",
    "Dolby Digital AC-3 (*.ac3)",
    "DTS Files (*.dts)",
    "DV Video Files (*.dv;*.dif)",
    "DVD Video Files (*.vob;*.dvd)",
    "Electronic Arts CDATA Files (*.cdata)",
    "Flash Video Files (*.flv)",
    "Free Lossless Audio Codec (*.flac;*.fla)",
    "H.264/MPEG4 AVC Video (*.m2ts;*.mts)",
    "Matroska Files (*.mkv;*.mka)",
    "Microsoft Digital Video Recording (*.dvr-ms)",
    "MIDI Files (*.midi;*.mid;*.rmi;*.kar)",
    "MJPEG Video Files (*.mjpg;*.mjpeg)",
    "MMF Files (*.mmf)",
    "MOD Musics (*.mod;*.xm;*.it;*.s3m;*.mtm;*.umx;*.mo3)",
    "Monkey's Audio (*.ape;*.mac)",
    "MP3 Files (*.mp3)",
    "MPEG Audio Files (*.mpa;*.mpga;*.m2a)",
    "MPEG Video Files (*.mpg;*.mpe;*.mpeg;*.m1v;*.mp2;*.m2v;*.mp1;*.mlv)",
    "MPEG-4 Audio Files (*.m4a;*.m4b;*.mp4)",
    "MPEG4 TS HD Video (*.ts)",
    "MPEG-4 Video Files (*.mp4;*.m4v;*.mpv;*.psp)",
    "Musepack (*.mpc;*.mp+;*.mpp)",
    "Nullsoft Audio/Video Files (*.nsv;*.nsa)",
    "NUT Files (*.nut)",
    "OGG Files (*.ogg;*.oga;*.ogm;*.ogv;*.ogx)",
    "QuickTime Files (*.mov;*.qt)",
    "Raw h261 Files (*.h261)",
    "Raw h263 Files (*.h263)",
    "Raw h264 Video Files (*.h264;*.264)",
    "Real Audio Files (*.ra;*.ram)",
    "Real Media Files (*.rm;*.rmvb)",
    "Speex (*.spx)",
    "The True Audio (*.tta)",
    "VCD Video Files (*.dat)",
    "WAV Files (*.wav;*.wave)",
    "WavPack (*.wv)",
    "Windows Media Files (*.wma;*.asf;*.wmv;*.wm;*.wmd;*.xwmv)",
    "YUV Video Files (*.yuv)",
};

}  // namespace

std::string AddingFileLine(int number, int count) {
  return "Adding file " + std::to_string(number) + " of " + std::to_string(count) + "...";
}

std::span<const char* const> AddFilesFilterLabels() {
  return kFilterLabels;
}

namespace {

// Lists a path once: already listed, not decodable, or added with what probe found.
template <typename Probe>
AddResult AddProbed(FileList& list, const std::string& path, const Probe& probe) {
  if (list.Contains(path)) return AddResult::kAlreadyListed;
  const std::optional<SourceFile> file = probe();
  if (!file) return AddResult::kNotDecodable;
  return list.Add(*file) ? AddResult::kAdded : AddResult::kAlreadyListed;
}

}  // namespace

std::optional<SourceFile> ProbeSourceFile(const std::string& path, std::string& note,
                                          const SourceFactoryHooks& hooks) {
  const InputTypeCode code = InputTypeForPath(path);
  std::unique_ptr<AudioSource> source =
      CreateAudioSource(path, code, /*renderingRate=*/0, /*forConversion=*/false, hooks);
  if (!source) {
    const std::string extension = AsciiLower(ExtensionOf(FileNamePart(path)));
    if (code == kInputCdAudio) {
      note = kCdAudioNote;
    } else if (extension == ".swf" || extension == ".flv") {
      note = kFlashNote;
    }
    return std::nullopt;
  }
  SourceFile file;
  file.SourcePath = path;
  file.InputType = code;
  file.Duration = source->GetDuration();
  file.SampleRate = source->GetSampleRate();
  file.BitRate = source->GetBitrate();
  if (code == kInputMp3) {
    file.ChannelMode = source->GetChannelMode();
  } else {
    file.Channels = source->GetChannels();
  }
  return file;
}

AddResult AddSourceFile(FileList& list, const std::string& path, std::string& note,
                        const SourceFactoryHooks& hooks) {
  return AddProbed(list, path, [&] { return ProbeSourceFile(path, note, hooks); });
}

std::string FailureMessage(const std::string& failureText, const std::string& note) {
  return "Failed to load the following files.\n\n" + failureText + "\n" +
         (note.empty() ? std::string(kSupportLine) : note);
}

int LoadFileList(FileList& list, const std::vector<std::string>& paths, IntakeProgress& progress,
                 IntakeHost& host, const SourceFactoryHooks& hooks, const PathProbe& probe) {
  host.SetMainWindowEnabled(false);
  const int count = static_cast<int>(paths.size());
  progress.SetBarRange(count);
  progress.PumpMessages();
  std::string note;
  std::string failureText;
  int failures = 0;
  int added = 0;
  for (int i = 0; i < count; ++i) {
    progress.SetLine(AddingFileLine(i + 1, count));
    progress.StepBar();
    const size_t index = static_cast<size_t>(i);
    const std::string& path = paths[index];
    const AddResult result = AddProbed(list, path, [&] {
      return probe ? probe(index, note) : ProbeSourceFile(path, note, hooks);
    });
    // A probe cut short by Cancel says nothing about the file.
    if (result == AddResult::kNotDecodable && progress.CancelRequested()) break;
    if (result == AddResult::kAdded) {
      ++added;
      host.RowAdded(list.Count() - 1);
    } else if (result == AddResult::kNotDecodable) {
      ++failures;
      if (failures <= kMaxListedFailures) {
        failureText += path + "\n";
      } else if (failures == kMaxListedFailures + 1) {
        failureText += kMoreFilesMarker;
      }
    }
    progress.PumpMessages();
    if (progress.CancelRequested()) break;
  }
  host.SetMainWindowEnabled(true);
  if (!failureText.empty()) host.ShowWarning(FailureMessage(failureText, note));
  return added;
}

std::vector<std::string> CollectDroppedPaths(const std::vector<std::string>& items, bool filterOn,
                                             const std::vector<std::string>& extensionFilter,
                                             IntakeProgress* progress) {
  std::vector<std::string> paths;
  const auto cancelled = [progress] {
    if (progress == nullptr) return false;
    progress->PumpMessages();
    return progress->CancelRequested();
  };
  for (const std::string& item : items) {
    if (cancelled()) break;
    std::error_code ec;
    if (fs::is_directory(item, ec)) {
      CollectFolderFiles(paths, item, filterOn, extensionFilter, cancelled);
      continue;
    }
    std::string path = item;
    if (fs::is_regular_file(path, ec) && PassesExtensionFilter(path, filterOn, extensionFilter)) {
      paths.push_back(path);
    }
  }
  return paths;
}

}  // namespace sonorell
