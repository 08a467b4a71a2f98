#pragma once

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell::testing {

// What mutagen reads from an ID3-tagged or MP4-family file: every text item as
// "key" -> values (ID3 frame ids, "TXXX:description", MP4 atom names, "trkn"/"disk" as
// "n/N"), the ID3 version as "version", and the pictures with their bytes.
struct MutagenPicture {
  std::string kind;  // ID3: "type|mime|description"; MP4: the covr image format number
  std::string data;
};
struct MutagenTags {
  std::multimap<std::string, std::string> texts;
  std::vector<MutagenPicture> pictures;

  std::vector<std::string> All(const std::string& key) const {
    std::vector<std::string> out;
    for (auto [it, end] = texts.equal_range(key); it != end; ++it) out.push_back(it->second);
    return out;
  }
  std::string One(const std::string& key) const {
    const auto all = All(key);
    return all.size() == 1 ? all.front() : "<" + std::to_string(all.size()) + " values>";
  }
};

// A Python that has mutagen: the one on the path, else the system's (Debian's package
// installs it there, and a user's own Python may come first on the path). Empty when none.
inline const std::string& MutagenPython() {
  static const std::string python = [] {
    for (const char* candidate : {"python3", "/usr/bin/python3"}) {
      if (CommandOutput(std::string(candidate) + " -c 'import mutagen'"))
        return std::string(candidate);
    }
    return std::string();
  }();
  return python;
}

inline std::optional<MutagenTags> ReadWithMutagen(const std::string& path) {
  static constexpr const char* kScript = R"PY(
import sys, mutagen
f = mutagen.File(sys.argv[1])
prefix = sys.argv[2]
n = 0
def picture(kind, data):
    global n
    name = "%s.%d" % (prefix, n)
    open(name, "wb").write(bytes(data))
    print("picture=%s|%s" % (name, kind))
    n += 1
tags = f.tags
if tags is None:
    sys.exit(0)
if hasattr(tags, "getall"):
    print("version=2.%d" % tags.version[1])
    for frame in tags.values():
        if frame.FrameID == "APIC":
            picture("%d|%s|%s" % (frame.type, frame.mime, frame.desc), frame.data)
        elif frame.FrameID == "TXXX":
            for text in frame.text:
                print("TXXX:%s=%s" % (frame.desc, text))
        elif frame.FrameID.startswith("T"):
            for text in frame.text:
                print("%s=%s" % (frame.FrameID, text))
else:
    for key, values in tags.items():
        for value in values:
            if key == "covr":
                picture(str(value.imageformat), value)
            elif key.startswith("----"):
                print("%s=%s" % (key, bytes(value).decode()))
            elif key in ("trkn", "disk"):
                print("%s=%d/%d" % (key, value[0], value[1]))
            else:
                print("%s=%s" % (key, value))
)PY";
  const TempFolder scratch;
  const auto out = CommandOutput(MutagenPython() + " -c " + ShellQuote(kScript) + " " +
                                 ShellQuote(path) + " " + ShellQuote(scratch / "picture"));
  if (!out) return std::nullopt;
  MutagenTags tags;
  std::istringstream lines(*out);
  for (std::string line; std::getline(lines, line);) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "picture") {
      const size_t bar = value.find('|');
      tags.pictures.push_back({value.substr(bar + 1), ReadFileBytes(value.substr(0, bar))});
    } else {
      tags.texts.emplace(key, value);
    }
  }
  return tags;
}

// The bytes of the file's attached picture as ffmpeg copies them out of its picture stream
// (ffprobe's attached_pic), or nullopt when it has none.
inline std::optional<std::string> FfmpegAttachedPicture(const std::string& path) {
  const auto disposition = CommandOutput(
      "ffprobe -v error -select_streams v -show_entries "
      "stream=codec_name:stream_disposition=attached_pic -of csv=p=0 " +
      ShellQuote(path));
  if (!disposition || disposition->find(",1") == std::string::npos) return std::nullopt;
  return CommandOutput("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                       " -map 0:v:0 -c copy -f data -");
}

// An image made by ffmpeg: a test pattern of the given size, JPEG or PNG as the name's
// extension says.
inline bool MakeImage(const std::string& path, int width, int height) {
  return CommandOutput(
             "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=s=" + std::to_string(width) + "x" +
             std::to_string(height) + " -frames:v 1 " + ShellQuote(path))
      .has_value();
}

// A small test picture made so; its bytes, empty when it could not be made.
inline std::string MakeTestPicture(const std::string& path) {
  return MakeImage(path, 96, 64) ? ReadFileBytes(path) : std::string();
}

// Whether ffmpeg, ffprobe and mutagen are all here to read tags back.
inline bool TagReadersAvailable() {
  return ToolAvailable("ffmpeg") && ToolAvailable("ffprobe") && !MutagenPython().empty();
}

// A format tag as ffprobe reads it (the key as ffprobe spells it), empty when absent.
inline std::string FfprobeFormatTag(const std::string& path, const std::string& key) {
  const auto out = CommandOutput("ffprobe -v error -show_entries format_tags=" + key +
                                 " -of default=nw=1:nk=1 " + ShellQuote(path));
  if (!out) return {};
  std::string text = *out;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace sonorell::testing
