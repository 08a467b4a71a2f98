#pragma once

// Tracker modules and MIDI files written byte by byte, so that tests know exactly what they
// hold and how long they play.
#include <cstdint>
#include <string>
#include <vector>

namespace sonorell::testing {

inline std::string Be16(uint16_t v) {
  return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
inline std::string Be32(uint32_t v) {
  return Be16(static_cast<uint16_t>(v >> 16)) + Be16(static_cast<uint16_t>(v & 0xFFFF));
}
inline std::string Le16(uint16_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
inline std::string Le32(uint32_t v) {
  return Le16(static_cast<uint16_t>(v & 0xFFFF)) + Le16(static_cast<uint16_t>(v >> 16));
}

// A ProTracker "M.K." module: four channels, one looped square-wave sample, and
// `patterns` patterns played in order, each with a note every four rows on channels 1 and
// 2. At the default speed (6 ticks per row, 125 bpm) a row lasts 0.12 s, so the song plays
// patterns × 64 × 0.12 s.
inline std::string ProTrackerModule(int patterns) {
  std::string m(20, '\0');
  m.replace(0, 9, "test tune");
  for (int s = 0; s < 31; ++s) {
    std::string header(30, '\0');
    if (s == 0) {
      header.replace(0, 6, "square");
      header.replace(22, 2, Be16(16));  // length in words: 32 bytes
      header[24] = 0;                   // finetune
      header[25] = 64;                  // full volume
      header.replace(26, 2, Be16(0));   // loop start
      header.replace(28, 2, Be16(16));  // loop length: the whole sample
    }
    m += header;
  }
  m += static_cast<char>(patterns);
  m += static_cast<char>(127);
  std::string orders(128, '\0');
  for (int p = 0; p < patterns; ++p) orders[static_cast<size_t>(p)] = static_cast<char>(p);
  m += orders;
  m += "M.K.";
  const uint16_t periods[] = {428, 381, 340, 320, 285, 254, 226, 214};
  for (int p = 0; p < patterns; ++p) {
    for (int row = 0; row < 64; ++row) {
      for (int ch = 0; ch < 4; ++ch) {
        std::string cell(4, '\0');
        if (row % 4 == 0 && ch < 2) {
          const uint16_t period = periods[(row / 4 + p + ch * 2) % 8];
          const int sample = 1;
          cell[0] = static_cast<char>((sample & 0xF0) | (period >> 8));
          cell[1] = static_cast<char>(period & 0xFF);
          cell[2] = static_cast<char>((sample & 0x0F) << 4);
        }
        m += cell;
      }
    }
  }
  for (int i = 0; i < 32; ++i) m += static_cast<char>(i < 16 ? 100 : -100);
  return m;
}

// The one-pattern module slowed to the slowest speed (31 ticks a row) and tempo (32 bpm),
// every row after the first held sixteen times (pattern delay) and the pattern played 128
// times over: about 87 hours, which no one takes for a song.
inline std::string EndlessProTrackerModule() {
  std::string m = ProTrackerModule(1);
  m[950] = static_cast<char>(128);  // song length; every order is pattern 0
  const auto cell = [&m](int row, int channel) { return 1084 + (row * 4 + channel) * 4; };
  m.replace(cell(0, 2) + 2, 2, "\x0F\x1F");  // Fxx below 0x20: speed
  m.replace(cell(0, 3) + 2, 2, "\x0F\x20");  // Fxx from 0x20: tempo
  for (int row = 1; row < 64; ++row) m.replace(cell(row, 2) + 2, 2, "\x0E\xEF");  // EEx: delay
  return m;
}

// A FastTracker 2 module with no instruments and one empty pattern of 64 rows: 7.68 s of
// silence at the default speed.
inline std::string FastTrackerModule() {
  std::string x = "Extended Module: ";
  std::string name(20, ' ');
  name.replace(0, 5, "empty");
  x += name;
  x += '\x1A';
  x += std::string("sonorell test       ").substr(0, 20);
  x += Le16(0x0104);
  x += Le32(276);               // header size from here
  x += Le16(1);                 // song length
  x += Le16(0);                 // restart position
  x += Le16(4);                 // channels
  x += Le16(1);                 // patterns
  x += Le16(0);                 // instruments
  x += Le16(1);                 // linear frequency table
  x += Le16(6);                 // speed
  x += Le16(125);               // bpm
  x += std::string(256, '\0');  // order table: pattern 0
  x += Le32(9);                 // pattern header length
  x += '\0';                    // packing type
  x += Le16(64);                // rows
  x += Le16(0);                 // packed data size: all rows empty
  return x;
}

// One MIDI track chunk around the given events.
inline std::string MidiTrack(const std::string& events, uint32_t declaredLength = 0) {
  return "MTrk" + Be32(declaredLength ? declaredLength : static_cast<uint32_t>(events.size())) +
         events;
}

inline std::string MidiHeader(uint16_t format, uint16_t tracks, uint16_t division) {
  return "MThd" + Be32(6) + Be16(format) + Be16(tracks) + Be16(division);
}

inline std::string Tempo(uint32_t microsPerQuarter) {
  return std::string("\x00\xFF\x51\x03", 4) + static_cast<char>(microsPerQuarter >> 16) +
         static_cast<char>((microsPerQuarter >> 8) & 0xFF) +
         static_cast<char>(microsPerQuarter & 0xFF);
}

// A quarter note (96 ticks) on channel 1, starting right after the previous event.
inline std::string Quarter(int key) {
  return std::string("\x00\x90", 2) + static_cast<char>(key) + '\x64' + std::string("\x60\x80", 2) +
         static_cast<char>(key) + '\x40';
}

inline const std::string kEndOfTrack("\x00\xFF\x2F\x00", 4);

// The events of a format-0 song at 96 ticks per quarter: four quarter notes at 120 bpm
// (2 s), then four at 240 bpm (1 s) — 3 s in all.
inline std::string TwoTempoEvents() {
  std::string e = Tempo(500000);
  e += std::string("\x00\xC0\x00", 3);  // acoustic grand piano
  for (int key : {60, 64, 67, 72}) e += Quarter(key);
  e += Tempo(250000);
  for (int key : {72, 67, 64, 60}) e += Quarter(key);
  return e;
}

inline std::string TwoTempoMidi() {
  return MidiHeader(0, 1, 96) + MidiTrack(TwoTempoEvents() + kEndOfTrack);
}

}  // namespace sonorell::testing
