#include "cli/probe_command.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/batch_inputs.h"
#include "cli/convert_command.h"
#include "cli/json_text.h"
#include "engine/encoders/tags/source_tags.h"
#include "engine/jobs/file_intake.h"
#include "engine/jobs/file_list.h"
#include "engine/jobs/input_types.h"
#include "engine/paths/path_rules.h"
#include "engine/sources/bass/default_sound_font.h"
#include "engine/sources/mp4/read_mp4_tags.h"
#include "engine/sources/source_factory.h"
#include "platform/desktop/program_folder.h"
#include "settings/settings_store.h"

namespace sonorell {
namespace {

constexpr const char* kProbeUsage =
    "usage: sonorell-cli probe [--json] PATH...\n"
    "  Prints what the file list shows of each file (duration, bit rate, frequency,\n"
    "  channels, type) and its tags; folders are searched with their whole tree.\n"
    "  --json   one JSON array of objects instead of the table\n"
    "Exit status: 0 every file read, 1 any file unreadable, 2 a usage error.\n";

// The names the input types go by; the extension for the others.
std::string TypeName(InputTypeCode code, const std::string& path) {
  switch (code) {
    case kInputMp3:
      return "MP3";
    case kInputWav:
      return "WAV";
    case kInputTrackerModule:
      return "Tracker module";
    case kInputMidi:
      return "MIDI";
    case kInputCdAudio:
      return "CD audio";
    case kInputFlac:
      return "FLAC";
    case kInputWavPack:
      return "WavPack";
    case kInputAdx:
      return "ADX";
    case kInputMonkeysAudio:
      return "Monkey's Audio";
    case kInputMusepack:
      return "Musepack";
    case kInputSpeex:
      return "Speex";
    case kInputTta:
      return "TTA";
    case kInputOgg:
      return "Ogg";
    case kInputSunAudio:
      return "Sun audio";
    case kInputAiff:
      return "AIFF";
    case kInputAac:
      return "AAC";
    case kInputM4a:
      return "M4A";
    case kInputMp4:
      return "MP4";
    case kInputWindowsMedia:
      return "Windows Media";
    default:
      break;
  }
  std::string ext = ExtensionOf(FileNamePart(path));
  if (!ext.empty()) ext.erase(0, 1);
  for (char& c : ext) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return ext;
}

constexpr std::array<const char*, 9> kTagNames{"title",   "artist", "album",    "year",     "genre",
                                               "comment", "track",  "composer", "copyright"};

struct ProbedFile {
  std::string path;
  bool readable = false;
  std::array<std::string, 5> cells;  // duration, bit rate, frequency, channels, type
  SourceFile entry;
  TagRecord tags;
};

std::array<const std::string*, 9> TagFields(const TagRecord& t) {
  return {&t.title,   &t.artist, &t.album,    &t.year,     &t.genre,
          &t.comment, &t.track,  &t.composer, &t.copyright};
}

ProbedFile Probe(const std::string& path) {
  ProbedFile p;
  p.path = path;
  FileList list;
  std::string note;
  if (AddSourceFile(list, path, note) != AddResult::kAdded || list.Empty()) return p;
  p.readable = true;
  p.entry = list.Entry(0);
  p.cells = {list.CellText(0, kColumnDuration), list.CellText(0, kColumnBitRate),
             list.CellText(0, kColumnFreq), list.CellText(0, kColumnChannels),
             TypeName(p.entry.InputType, path)};
  const std::unique_ptr<AudioSource> source = CreateAudioSource(path, p.entry.InputType, 0, false);
  if (source) {
    if (const std::optional<TagRecord> tags =
            ReadSourceTags(p.entry.InputType, path, *source, ReadMp4Tags)) {
      p.tags = *tags;
    }
  }
  return p;
}

std::string Padded(const std::string& text, int width) {
  const int pad = width - DisplayWidth(text);
  return text + std::string(pad > 0 ? static_cast<size_t>(pad) : 0, ' ');
}

void PrintTable(const std::vector<ProbedFile>& files) {
  std::vector<std::string> headers{"File", "Duration", "Bit Rate", "Freq", "Channels", "Type"};
  // Tag columns only where some file has the tag.
  std::vector<size_t> tagColumns;
  for (size_t t = 0; t < kTagNames.size(); ++t) {
    for (const ProbedFile& f : files) {
      if (!TagFields(f.tags)[t]->empty()) {
        tagColumns.push_back(t);
        std::string name = kTagNames[t];
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
        headers.push_back(name);
        break;
      }
    }
  }
  std::vector<std::vector<std::string>> rows;
  for (const ProbedFile& f : files) {
    std::vector<std::string> row{f.path};
    if (!f.readable) {
      row.push_back("(cannot be read)");
    } else {
      row.insert(row.end(), f.cells.begin(), f.cells.end());
      for (const size_t t : tagColumns) row.push_back(*TagFields(f.tags)[t]);
    }
    // Line breaks and tabs inside a tag would break the table's rows.
    for (std::string& cell : row) {
      for (char& c : cell) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
      }
    }
    rows.push_back(std::move(row));
  }
  std::vector<int> widths(headers.size(), 0);
  for (size_t c = 0; c < headers.size(); ++c) widths[c] = DisplayWidth(headers[c]);
  for (const auto& row : rows) {
    if (row.size() != headers.size()) continue;
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  }
  const auto print = [&](const std::vector<std::string>& row) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      const bool last = c + 1 == row.size();
      line += last ? row[c] : Padded(row[c], widths[c]) + "  ";
    }
    std::printf("%s\n", line.c_str());
  };
  print(headers);
  for (const auto& row : rows) print(row);
}

void PrintJson(const std::vector<ProbedFile>& files) {
  std::string json = "[";
  for (size_t i = 0; i < files.size(); ++i) {
    const ProbedFile& f = files[i];
    json += i == 0 ? "\n" : ",\n";
    json +=
        "  {\"file\": " + JsonString(f.path) + ", \"readable\": " + (f.readable ? "true" : "false");
    if (f.readable) {
      json += ", \"duration\": " + JsonString(f.cells[0]) +
              ", \"seconds\": " + std::to_string(f.entry.Duration) +
              ", \"bitrate\": " + std::to_string(f.entry.BitRate) +
              ", \"frequency\": " + std::to_string(f.entry.SampleRate) +
              ", \"channels\": " + JsonString(f.cells[3]) +
              ", \"type\": " + JsonString(f.cells[4]) + ", \"tags\": {";
      const auto fields = TagFields(f.tags);
      for (size_t t = 0; t < kTagNames.size(); ++t) {
        json +=
            std::string(t == 0 ? "" : ", ") + "\"" + kTagNames[t] + "\": " + JsonString(*fields[t]);
      }
      json += "}";
    }
    json += "}";
  }
  json += files.empty() ? "]\n" : "\n]\n";
  std::fputs(json.c_str(), stdout);
}

}  // namespace

int RunProbeCommand(const std::vector<std::string>& args) {
  bool json = false;
  std::vector<std::string> paths;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::printf("%s", kProbeUsage);
      return kExitConverted;
    }
    if (a == "--json") {
      json = true;
    } else if (a == "--") {
      paths.insert(paths.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "sonorell-cli: unknown option %s\n%s", a.c_str(), kProbeUsage);
      return kExitUsage;
    } else {
      paths.push_back(a);
    }
  }
  if (paths.empty()) {
    std::fprintf(stderr, "sonorell-cli: no files to probe\n%s", kProbeUsage);
    return kExitUsage;
  }
  // Only the extension filter matters here; the defaults' output folder is never made.
  Settings settings;
  LoadSettings(settings);
  const BatchInputs inputs = CollectBatchInputs(paths, settings);
  for (const std::string& missing : inputs.missing) {
    std::fprintf(stderr, "sonorell-cli: %s: no such file or folder\n", missing.c_str());
  }
  // MIDI files are read through the sound font, as the window loads it at start.
  const bool anyMidi = std::any_of(inputs.files.begin(), inputs.files.end(), [](const auto& f) {
    return InputTypeForPath(f.SourcePath) == kInputMidi;
  });
  if (anyMidi) LoadDefaultSoundFont(platform::ShippedFilesFolder());
  std::vector<ProbedFile> files;
  bool allRead = inputs.missing.empty();
  for (const SourceFile& f : inputs.files) {
    files.push_back(Probe(f.SourcePath));
    allRead = allRead && files.back().readable;
  }
  if (json) {
    PrintJson(files);
  } else if (!files.empty()) {
    PrintTable(files);
  }
  return allRead ? kExitConverted : kExitSomeFailed;
}

}  // namespace sonorell
