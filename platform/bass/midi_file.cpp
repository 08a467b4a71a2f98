#include "platform/bass/midi_file.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace platform::bass {
namespace {

constexpr uint32_t kDefaultTempo = 500000;  // microseconds per quarter note (120 bpm)
constexpr uint8_t kMeta = 0xFF;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaTempo = 0x51;
constexpr uint8_t kMetaCopyright = 0x02;
constexpr uint8_t kMetaSequenceName = 0x03;

uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
uint16_t Be16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
void PutBe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<uint8_t>(s[i]);
    size_t extra;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (extra >= s.size() - i) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto cc = static_cast<uint8_t>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

// MIDI text events carry no encoding; old files use Latin-1, newer ones often UTF-8.
std::string TextToUtf8(const uint8_t* p, size_t n) {
  std::string raw(reinterpret_cast<const char*>(p), n);
  while (!raw.empty() && (raw.back() == '\0' || raw.back() == ' ')) raw.pop_back();
  if (IsValidUtf8(raw)) return raw;
  std::string out;
  for (const char ch : raw) {
    const auto c = static_cast<uint8_t>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// A variable-length quantity of at most four bytes; false when it breaks off or is longer.
bool ReadVlq(const uint8_t* data, size_t size, size_t& pos, uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos >= size) return false;
    const uint8_t b = data[pos++];
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return true;
  }
  return false;
}

struct TempoChange {
  uint64_t tick;
  uint32_t tempo;
};

struct Track {
  size_t completeBytes = 0;  // bytes of the events that parsed whole
  bool endsWithEndOfTrack = false;
  uint64_t endTick = 0;
};

// Walks one track's events: where they stop being whole, what tick the track ends on, and
// its tempo changes and first-track texts.
Track ScanTrack(const uint8_t* data, size_t size, bool firstTrack, std::vector<TempoChange>& tempos,
                MidiSong& song) {
  Track track;
  size_t pos = 0;
  uint64_t tick = 0;
  uint8_t runningStatus = 0;
  while (pos < size) {
    uint32_t delta;
    if (!ReadVlq(data, size, pos, delta)) break;
    if (pos >= size) break;
    uint8_t status = data[pos];
    if (status & 0x80) {
      ++pos;
    } else if (runningStatus != 0) {
      status = runningStatus;
    } else {
      break;  // data byte with no status to continue
    }
    const uint64_t eventTick = tick + delta;
    if (status == kMeta) {
      if (pos >= size) break;
      const uint8_t type = data[pos++];
      uint32_t length;
      if (!ReadVlq(data, size, pos, length) || length > size - pos) break;
      const uint8_t* body = data + pos;
      pos += length;
      if (type == kMetaTempo && length == 3) {
        const uint32_t tempo = (static_cast<uint32_t>(body[0]) << 16) | (body[1] << 8) | body[2];
        if (tempo > 0) tempos.push_back({eventTick, tempo});
      } else if (firstTrack && type == kMetaSequenceName && song.title.empty()) {
        song.title = TextToUtf8(body, length);
      } else if (firstTrack && type == kMetaCopyright && song.copyright.empty()) {
        song.copyright = TextToUtf8(body, length);
      }
      tick = eventTick;
      track.completeBytes = pos;
      if (type == kMetaEndOfTrack) {
        track.endsWithEndOfTrack = true;
        break;
      }
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      uint32_t length;
      if (!ReadVlq(data, size, pos, length) || length > size - pos) break;
      pos += length;
      runningStatus = 0;
    } else if (status >= 0xF0) {
      break;  // system real-time and common messages have no place in a file
    } else {
      const size_t dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;
      if (dataBytes > size - pos) break;
      pos += dataBytes;
      runningStatus = status;
    }
    tick = eventTick;
    track.completeBytes = pos;
  }
  track.endTick = tick;
  return track;
}

// The standard MIDI file inside a RIFF "RMID" wrapper, or the bytes themselves.
std::pair<const uint8_t*, size_t> Unwrap(const std::vector<uint8_t>& bytes) {
  if (bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
      std::memcmp(bytes.data() + 8, "RMID", 4) == 0) {
    size_t pos = 12;
    while (bytes.size() - pos >= 8) {
      const uint8_t* chunk = bytes.data() + pos;
      const uint32_t length =
          chunk[4] | (chunk[5] << 8) | (chunk[6] << 16) | (static_cast<uint32_t>(chunk[7]) << 24);
      const size_t available = bytes.size() - pos - 8;
      if (std::memcmp(chunk, "data", 4) == 0) {
        return {chunk + 8, std::min<size_t>(length, available)};
      }
      // An odd-length chunk is followed by a pad byte, which a file may leave out at its end.
      const uint64_t padded = uint64_t{length} + (length & 1);
      if (padded >= available) break;
      pos += 8 + static_cast<size_t>(padded);
    }
    return {nullptr, 0};
  }
  return {bytes.data(), bytes.size()};
}

}  // namespace

std::optional<MidiSong> ParseMidiFile(const std::vector<uint8_t>& bytes) {
  const auto [data, size] = Unwrap(bytes);
  if (!data || size < 14 || std::memcmp(data, "MThd", 4) != 0) return std::nullopt;
  const uint32_t headerLength = Be32(data + 4);
  if (headerLength < 6 || headerLength > size - 8) return std::nullopt;
  const uint16_t format = Be16(data + 8);
  const uint16_t declaredTracks = Be16(data + 10);
  const uint16_t division = Be16(data + 12);
  // Time code division is not something the synthesiser's player can follow.
  if (format > 2 || division == 0 || (division & 0x8000) != 0) return std::nullopt;

  MidiSong song;
  std::vector<TempoChange> tempos;
  std::vector<uint8_t> tracks;
  uint16_t trackCount = 0;
  uint64_t endTick = 0;
  size_t pos = 8 + headerLength;
  while (trackCount < declaredTracks && size - pos >= 8) {
    const uint8_t* chunk = data + pos;
    const size_t available = size - pos - 8;
    const uint32_t declared = Be32(chunk + 4);
    const size_t length = std::min<size_t>(declared, available);
    if (std::memcmp(chunk, "MTrk", 4) == 0) {
      const Track track = ScanTrack(chunk + 8, length, trackCount == 0, tempos, song);
      endTick = std::max(endTick, track.endTick);
      tracks.insert(tracks.end(), {'M', 'T', 'r', 'k'});
      const size_t body = track.completeBytes + (track.endsWithEndOfTrack ? 0 : 4);
      PutBe32(tracks, static_cast<uint32_t>(body));
      tracks.insert(tracks.end(), chunk + 8, chunk + 8 + track.completeBytes);
      if (!track.endsWithEndOfTrack)
        tracks.insert(tracks.end(), {0x00, kMeta, kMetaEndOfTrack, 0x00});
      ++trackCount;
    }
    if (declared > available) break;  // a chunk cut short is the last one there is
    pos += 8 + length;
  }
  if (trackCount == 0) return std::nullopt;

  // Tempo changes from every track form one map (that is how players follow them).
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  double micros = 0;
  uint64_t lastTick = 0;
  uint32_t tempo = kDefaultTempo;
  for (const TempoChange& change : tempos) {
    if (change.tick >= endTick) break;
    micros += static_cast<double>(change.tick - lastTick) * tempo / division;
    lastTick = change.tick;
    tempo = change.tempo;
  }
  micros += static_cast<double>(endTick - lastTick) * tempo / division;
  song.seconds = micros / 1e6;

  song.file = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
  PutBe16(song.file, format == 0 && trackCount > 1 ? 1 : format);
  PutBe16(song.file, trackCount);
  PutBe16(song.file, division);
  song.file.insert(song.file.end(), tracks.begin(), tracks.end());
  return song;
}

}  // namespace platform::bass
