// Feeds arbitrary bytes to the MIDI file reader as a standard MIDI file or a RIFF "RMID"
// wrapper, and reads the clean file it makes once more: that one must come back unchanged.
#include <cmath>
#include <vector>

#include "platform/bass/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using platform::bass::ParseMidiFile;
  const std::vector<uint8_t> bytes(data, data + size);
  const auto song = ParseMidiFile(bytes);
  if (!song) return 0;
  if (!(song->seconds >= 0)) __builtin_trap();
  const auto again = ParseMidiFile(song->file);
  if (!again || again->file != song->file || again->title != song->title ||
      again->copyright != song->copyright ||
      std::fabs(again->seconds - song->seconds) > 1e-9 * (1 + song->seconds)) {
    __builtin_trap();
  }
  return 0;
}
