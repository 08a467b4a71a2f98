#include "platform/bass/bass.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/bass/bass_channel.h"
#include "platform/bass/cd_channel.h"
#include "platform/bass/ffmpeg_channel.h"
#include "platform/bass/file_bytes.h"
#include "platform/bass/id3_blocks.h"
#include "platform/bass/midi_channel.h"
#include "platform/bass/module_channel.h"
#include "platform/bass/plugin_families.h"

namespace platform {
namespace {

using bass::Channel;

constexpr DWORD kVersion = (BASSVERSION << 16) | 0x1100;  // 2.4.17.0
constexpr DWORD kDefaultRate = 44100;
constexpr uint32_t kMinRenderRate = 8000;
constexpr uint32_t kMaxRenderRate = 192000;
// Creation flags that ask for something a decoding channel here cannot give: other sample
// formats than the source's own, a mono downmix, endless looping, UTF-16 paths.
constexpr DWORD kUnsupportedFlags =
    BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO | BASS_SAMPLE_LOOP | BASS_SAMPLE_FLOAT | BASS_UNICODE;
// High bits of a BASS_ChannelGetData length that ask for FFT or level data instead.
constexpr DWORD kDataFlagBits = 0xC0000000;
constexpr QWORD kNoPosition = static_cast<QWORD>(-1);
constexpr DWORD kNoData = static_cast<DWORD>(-1);

enum class Kind { kStream, kMusic, kFont, kPlugin };

struct Entry {
  Kind kind = Kind::kStream;
  DWORD ctype = 0;
  std::unique_ptr<Channel> channel;  // streams and music
  std::string path;                  // the file the entry was made from
  int family = -1;                   // plug-ins
  // Raw ID3 blocks, read from the file on first request; the outer optional says whether
  // that request happened.
  std::optional<std::optional<std::vector<uint8_t>>> id3v1;
  std::optional<std::optional<std::vector<uint8_t>>> id3v2;
};

// Everything the library keeps for the process: like BASS itself, one set of handles and
// settings shared by all callers.
struct Library {
  std::mutex mutex;
  bool initialised = false;
  DWORD rate = kDefaultRate;
  std::map<DWORD, Entry> entries;
  DWORD next = 1;
  std::vector<HSOUNDFONT> defaultFonts;

  DWORD Add(Entry entry) {
    // Handles count up so that a freed one is not handed out again while a caller might
    // still hold it; 0 is never a handle.
    while (next == 0 || entries.count(next) != 0) ++next;
    const DWORD handle = next++;
    entries.emplace(handle, std::move(entry));
    return handle;
  }
  Entry* Find(DWORD handle, std::initializer_list<Kind> kinds) {
    const auto it = entries.find(handle);
    if (it == entries.end()) return nullptr;
    return std::find(kinds.begin(), kinds.end(), it->second.kind) != kinds.end() ? &it->second
                                                                                 : nullptr;
  }
  uint32_t RenderRate(DWORD freq) const { return freq != 0 ? freq : rate; }
};

Library& Lib() {
  static Library library;
  return library;
}

thread_local int lastError = BASS_OK;
thread_local std::string tagsText;

// Records the outcome of a call for BASS_ErrorGetCode and passes its result through.
template <typename T>
T Result(int error, T value) {
  lastError = error;
  return value;
}

// The checks every file creation call shares; BASS_OK when the request can be tried.
int CheckFileRequest(const Library& lib, BOOL mem, const void* file, QWORD offset, QWORD length,
                     DWORD flags) {
  if (!lib.initialised) return BASS_ERROR_INIT;
  if (mem || offset != 0 || length != 0) return BASS_ERROR_NOTAVAIL;  // whole files only
  if (!file) return BASS_ERROR_FILEOPEN;
  if ((flags & BASS_STREAM_DECODE) == 0) return BASS_ERROR_NOTAVAIL;  // nothing plays here
  if ((flags & kUnsupportedFlags) != 0) return BASS_ERROR_NOTAVAIL;
  if (!bass::RegularFileSize(static_cast<const char*>(file))) return BASS_ERROR_FILEOPEN;
  return BASS_OK;
}

bool UsableChannel(const Channel& channel) {
  return channel.Rate() > 0 && channel.Channels() > 0;
}

DWORD AddChannel(Library& lib, Kind kind, DWORD ctype, std::unique_ptr<Channel> channel,
                 const char* path) {
  Entry entry;
  entry.kind = kind;
  entry.ctype = ctype;
  entry.channel = std::move(channel);
  entry.path = path;
  return Result(BASS_OK, lib.Add(std::move(entry)));
}

uint64_t FrameBytes(const Channel& channel) {
  return static_cast<uint64_t>(channel.Channels()) * (channel.EightBit() ? 1 : 2);
}

// Line breaks inside one value would read as the start of the next field of a format such
// as "%TITL\n%ARTI"; they become spaces.
std::string OneLine(std::string value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\r' || value[i] == '\n') {
      if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
      out += ' ';
    } else {
      out += value[i];
    }
  }
  return out;
}

const char* TagKey(const char* code) {
  static constexpr struct {
    const char* code;
    const char* key;
  } kCodes[] = {{"TITL", "title"}, {"ARTI", "artist"},   {"ALBM", "album"},
                {"GNRE", "genre"}, {"YEAR", "year"},     {"CMNT", "comment"},
                {"TRCK", "track"}, {"COMP", "composer"}, {"COPY", "copyright"}};
  for (const auto& c : kCodes) {
    if (std::equal(c.code, c.code + 4, code)) return c.key;
  }
  return nullptr;
}

}  // namespace

DWORD BASS_GetVersion() {
  return kVersion;
}

BOOL BASS_Init(int device, DWORD freq, DWORD /*flags*/, void* /*win*/, const void* /*clsid*/) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (device != 0) return Result(BASS_ERROR_DEVICE, FALSE);  // only the no-sound device
  if (lib.initialised) return Result(BASS_ERROR_ALREADY, FALSE);
  lib.initialised = true;
  lib.rate = freq >= kMinRenderRate && freq <= kMaxRenderRate ? freq : kDefaultRate;
  return Result(BASS_OK, TRUE);
}

BOOL BASS_Free() {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (!lib.initialised) return Result(BASS_ERROR_INIT, FALSE);
  std::erase_if(lib.entries, [](const auto& e) {
    return e.second.kind == Kind::kStream || e.second.kind == Kind::kMusic;
  });
  lib.initialised = false;
  return Result(BASS_OK, TRUE);
}

int BASS_ErrorGetCode() {
  return lastError;
}

BOOL BASS_SetConfig(DWORD option, DWORD /*value*/) {
  if (option != BASS_CONFIG_UPDATEPERIOD) return Result(BASS_ERROR_ILLTYPE, FALSE);
  return Result(BASS_OK, TRUE);
}

HPLUGIN BASS_PluginLoad(const char* file, DWORD flags) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (!file) return Result(BASS_ERROR_FILEOPEN, HPLUGIN{0});
  if (flags & BASS_UNICODE) return Result(BASS_ERROR_NOTAVAIL, HPLUGIN{0});
  const int family = bass::PluginFamily(file);
  if (family < 0) return Result(BASS_ERROR_FILEFORM, HPLUGIN{0});
  if (!bass::FamilyAvailable(family)) return Result(BASS_ERROR_NOTAVAIL, HPLUGIN{0});
  for (const auto& [handle, entry] : lib.entries) {
    if (entry.kind == Kind::kPlugin && entry.family == family) {
      return Result(BASS_ERROR_ALREADY, HPLUGIN{0});
    }
  }
  Entry entry;
  entry.kind = Kind::kPlugin;
  entry.path = file;
  entry.family = family;
  return Result(BASS_OK, lib.Add(std::move(entry)));
}

BOOL BASS_PluginFree(HPLUGIN handle) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (handle == 0) {
    std::erase_if(lib.entries, [](const auto& e) { return e.second.kind == Kind::kPlugin; });
    return Result(BASS_OK, TRUE);
  }
  if (!lib.Find(handle, {Kind::kPlugin})) return Result(BASS_ERROR_HANDLE, FALSE);
  lib.entries.erase(handle);
  return Result(BASS_OK, TRUE);
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (const int error = CheckFileRequest(lib, mem, file, offset, length, flags); error != BASS_OK) {
    return Result(error, HSTREAM{0});
  }
  const auto* path = static_cast<const char*>(file);
  if (const std::optional<int> track = bass::CdaTrackNumber(path)) {
    int error = BASS_ERROR_UNKNOWN;
    std::unique_ptr<Channel> channel = bass::OpenCdChannel(*track, error);
    if (!channel) return Result(error, HSTREAM{0});
    return AddChannel(lib, Kind::kStream, BASS_CTYPE_STREAM_CD, std::move(channel), path);
  }
  // Tracker modules are music, loaded with BASS_MusicLoad at the caller's rendering rate,
  // even though FFmpeg could play them as a stream at a rate of its own.
  if (bass::LooksLikeModule(path)) return Result(BASS_ERROR_FILEFORM, HSTREAM{0});
  std::unique_ptr<Channel> channel = bass::OpenFfmpegChannel(path);
  if (!channel || !UsableChannel(*channel)) return Result(BASS_ERROR_FILEFORM, HSTREAM{0});
  return AddChannel(lib, Kind::kStream, BASS_CTYPE_STREAM, std::move(channel), path);
}

HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags,
                      DWORD freq) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (const int error = CheckFileRequest(lib, mem, file, offset, length, flags); error != BASS_OK) {
    return Result(error, HMUSIC{0});
  }
  const uint32_t rate = lib.RenderRate(freq);
  if (rate < kMinRenderRate || rate > kMaxRenderRate) return Result(BASS_ERROR_ILLPARAM, HMUSIC{0});
  const auto* path = static_cast<const char*>(file);
  int error = BASS_ERROR_UNKNOWN;
  const bool ramping = (flags & (BASS_MUSIC_RAMP | BASS_MUSIC_RAMPS)) != 0;
  std::unique_ptr<Channel> channel = bass::OpenModuleChannel(path, rate, ramping, error);
  if (!channel) return Result(error, HMUSIC{0});
  return AddChannel(lib, Kind::kMusic, BASS_CTYPE_MUSIC_MOD, std::move(channel), path);
}

HSTREAM BASS_MIDI_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                                   DWORD flags, DWORD freq) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (const int error = CheckFileRequest(lib, mem, file, offset, length, flags); error != BASS_OK) {
    return Result(error, HSTREAM{0});
  }
  const uint32_t rate = lib.RenderRate(freq);
  std::vector<std::string> fonts;
  for (const HSOUNDFONT font : lib.defaultFonts) {
    if (const Entry* entry = lib.Find(font, {Kind::kFont})) fonts.push_back(entry->path);
  }
  const auto* path = static_cast<const char*>(file);
  int error = BASS_ERROR_UNKNOWN;
  std::unique_ptr<Channel> channel = bass::OpenMidiChannel(path, rate, fonts, error);
  if (!channel) return Result(error, HSTREAM{0});
  return AddChannel(lib, Kind::kStream, BASS_CTYPE_STREAM_MIDI, std::move(channel), path);
}

HSOUNDFONT BASS_MIDI_FontInit(const void* file, DWORD flags) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (!file) return Result(BASS_ERROR_FILEOPEN, HSOUNDFONT{0});
  if (flags & BASS_UNICODE) return Result(BASS_ERROR_NOTAVAIL, HSOUNDFONT{0});
  const auto* path = static_cast<const char*>(file);
  if (!bass::RegularFileSize(path)) return Result(BASS_ERROR_FILEOPEN, HSOUNDFONT{0});
  if (!bass::IsSoundFont(path)) return Result(BASS_ERROR_FILEFORM, HSOUNDFONT{0});
  Entry entry;
  entry.kind = Kind::kFont;
  entry.path = path;
  return Result(BASS_OK, lib.Add(std::move(entry)));
}

BOOL BASS_MIDI_FontFree(HSOUNDFONT handle) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (!lib.Find(handle, {Kind::kFont})) return Result(BASS_ERROR_HANDLE, FALSE);
  lib.entries.erase(handle);
  std::erase(lib.defaultFonts, handle);
  return Result(BASS_OK, TRUE);
}

BOOL BASS_MIDI_StreamSetFonts(HSTREAM handle, const BASS_MIDI_FONT* fonts, DWORD count) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (handle != 0) {
    // A running stream keeps the fonts it was made with.
    return Result(lib.Find(handle, {Kind::kStream}) ? BASS_ERROR_NOTAVAIL : BASS_ERROR_HANDLE,
                  FALSE);
  }
  if (count > 0 && !fonts) return Result(BASS_ERROR_ILLPARAM, FALSE);
  std::vector<HSOUNDFONT> chosen;
  for (DWORD i = 0; i < count; ++i) {
    if (!lib.Find(fonts[i].font, {Kind::kFont})) return Result(BASS_ERROR_HANDLE, FALSE);
    // Whole fonts only; single presets mapped onto other banks are not offered.
    if (fonts[i].preset != -1 || fonts[i].bank != 0) return Result(BASS_ERROR_NOTAVAIL, FALSE);
    chosen.push_back(fonts[i].font);
  }
  lib.defaultFonts = std::move(chosen);
  return Result(BASS_OK, TRUE);
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  const Entry* entry = lib.Find(handle, {Kind::kStream, Kind::kMusic});
  if (!entry) return Result(BASS_ERROR_HANDLE, kNoPosition);
  if (mode != BASS_POS_BYTE) return Result(BASS_ERROR_NOTAVAIL, kNoPosition);
  return Result(BASS_OK, QWORD{entry->channel->LengthBytes()});
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  const Entry* entry = lib.Find(handle, {Kind::kStream, Kind::kMusic});
  if (!entry) return Result(BASS_ERROR_HANDLE, -1.0);
  const Channel& channel = *entry->channel;
  const double bytesPerSecond = static_cast<double>(FrameBytes(channel)) * channel.Rate();
  return Result(BASS_OK, static_cast<double>(pos) / bytesPerSecond);
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  const Entry* entry = lib.Find(handle, {Kind::kStream, Kind::kMusic});
  if (!entry) return Result(BASS_ERROR_HANDLE, FALSE);
  if (!info) return Result(BASS_ERROR_ILLPARAM, FALSE);
  const Channel& channel = *entry->channel;
  *info = BASS_CHANNELINFO{};
  info->freq = channel.Rate();
  info->chans = channel.Channels();
  info->flags = BASS_STREAM_DECODE | (channel.EightBit() ? BASS_SAMPLE_8BITS : 0);
  info->ctype = entry->ctype;
  info->origres = channel.EightBit() ? 8 : 16;
  info->filename = entry->path.c_str();
  return Result(BASS_OK, TRUE);
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  const Entry* entry = lib.Find(handle, {Kind::kStream});
  if (!entry) return Result(BASS_ERROR_HANDLE, kNoPosition);
  int64_t offset = -1;
  if (mode == BASS_FILEPOS_START) offset = entry->channel->FileStart();
  if (mode == BASS_FILEPOS_END) offset = entry->channel->FileEnd();
  if (offset < 0) return Result(BASS_ERROR_NOTAVAIL, kNoPosition);
  return Result(BASS_OK, static_cast<QWORD>(offset));
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  Entry* entry = lib.Find(handle, {Kind::kStream, Kind::kMusic});
  if (!entry) return Result(BASS_ERROR_HANDLE, kNoData);
  if (length & kDataFlagBits) return Result(BASS_ERROR_NOTAVAIL, kNoData);
  if (!buffer) return Result(BASS_ERROR_ILLPARAM, kNoData);
  Channel& channel = *entry->channel;
  const uint64_t frameBytes = FrameBytes(channel);
  const auto size = static_cast<size_t>(length - length % frameBytes);
  if (size == 0) return Result(BASS_OK, DWORD{0});
  const int64_t got = channel.GetData(buffer, size);
  if (got < 0) return Result(channel.BrokeOff() ? BASS_ERROR_FILEFORM : BASS_ERROR_ENDED, kNoData);
  return Result(BASS_OK, static_cast<DWORD>(std::min<int64_t>(got, static_cast<int64_t>(size))));
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  const Entry* entry = lib.Find(handle, {Kind::kStream, Kind::kMusic});
  if (!entry) return Result(BASS_ERROR_HANDLE, kNoPosition);
  if (mode != BASS_POS_BYTE) return Result(BASS_ERROR_NOTAVAIL, kNoPosition);
  return Result(BASS_OK, QWORD{entry->channel->PositionBytes()});
}

const char* BASS_ChannelGetTags(DWORD handle, DWORD tags) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  Entry* entry = lib.Find(handle, {Kind::kStream, Kind::kMusic});
  if (!entry) return Result(BASS_ERROR_HANDLE, static_cast<const char*>(nullptr));
  if (entry->kind != Kind::kStream || entry->ctype == BASS_CTYPE_STREAM_CD) {
    return Result(BASS_ERROR_NOTAVAIL, static_cast<const char*>(nullptr));
  }
  std::optional<std::optional<std::vector<uint8_t>>>* slot = nullptr;
  if (tags == BASS_TAG_ID3) {
    slot = &entry->id3v1;
    if (!*slot) *slot = bass::ReadId3v1Block(entry->path);
  } else if (tags == BASS_TAG_ID3V2) {
    slot = &entry->id3v2;
    if (!*slot) *slot = bass::ReadId3v2Block(entry->path);
  }
  if (!slot || !slot->value())
    return Result(BASS_ERROR_NOTAVAIL, static_cast<const char*>(nullptr));
  return Result(BASS_OK, reinterpret_cast<const char*>(slot->value()->data()));
}

BOOL BASS_StreamFree(HSTREAM handle) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (!lib.Find(handle, {Kind::kStream})) return Result(BASS_ERROR_HANDLE, FALSE);
  lib.entries.erase(handle);
  return Result(BASS_OK, TRUE);
}

BOOL BASS_MusicFree(HMUSIC handle) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  if (!lib.Find(handle, {Kind::kMusic})) return Result(BASS_ERROR_HANDLE, FALSE);
  lib.entries.erase(handle);
  return Result(BASS_OK, TRUE);
}

const char* TAGS_Read(DWORD handle, const char* fmt) {
  Library& lib = Lib();
  const std::lock_guard lock(lib.mutex);
  tagsText.clear();
  const Entry* entry = lib.Find(handle, {Kind::kStream, Kind::kMusic});
  if (!entry || !fmt) return tagsText.c_str();
  const std::map<std::string, std::string> values = entry->channel->Tags();
  bool found = false;
  std::string text;
  for (const char* p = fmt; *p;) {
    if (p[0] == '%' && p[1] == '%') {
      text += '%';
      p += 2;
      continue;
    }
    if (p[0] == '%' && p[1] && p[2] && p[3] && p[4]) {
      if (const char* key = TagKey(p + 1)) {
        if (const auto it = values.find(key); it != values.end() && !it->second.empty()) {
          text += OneLine(it->second);
          found = true;
        }
        p += 5;
        continue;
      }
    }
    text += *p++;
  }
  if (found) tagsText = std::move(text);
  return tagsText.c_str();
}

}  // namespace platform
