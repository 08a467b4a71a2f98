#pragma once

// Standard MIDI files (and RIFF "RMID" wrappers) checked, timed and made whole before the
// synthesiser sees them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::bass {

struct MidiSong {
  // A clean standard MIDI file of the same song: every track chunk holds exactly its
  // complete events and ends with an end-of-track event.
  std::vector<uint8_t> file;
  // Playing time up to the last track's end, through the tempo map.
  double seconds = 0;
  // Sequence name and copyright notice of the first track, UTF-8 (empty when absent).
  std::string title;
  std::string copyright;
};

// nullopt for bytes that are no MIDI file, or one the synthesiser cannot time (SMPTE
// division). A track whose declared length runs past the end of the data, or that breaks
// off inside an event, keeps the events before the break.
std::optional<MidiSong> ParseMidiFile(const std::vector<uint8_t>& bytes);

}  // namespace platform::bass
