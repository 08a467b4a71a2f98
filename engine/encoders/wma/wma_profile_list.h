#pragma once

#include <optional>
#include <span>
#include <vector>

namespace sonorell {

// The wave format of one WMA codec format, as the Windows Media runtime's codec list
// describes it.
struct WmaWaveFormat {
  int formatTag = 0;  // 0x0161 Windows Media Audio, 0x0162 Professional
  int channels = 0;
  int sampleRate = 0;
  int bitsPerSample = 16;
  bool operator==(const WmaWaveFormat&) const = default;
};

// One usable WMA encoding: a codec format and the bit rate the runtime gives it.
struct WmaProfileEntry {
  WmaWaveFormat format;
  int bitRate = 0;  // bits per second
  bool operator==(const WmaProfileEntry&) const = default;
};

// The WMA encodings to choose from, in ascending sample rate, then ascending bit rate.
class WmaProfileList {
 public:
  void Clear() { entries_.clear(); }
  // Keeps the order; an entry equal in rate, bit rate and channels to one present is
  // dropped, and one that differs from it only in channels goes before it.
  void Insert(const WmaProfileEntry& entry);
  std::span<const WmaProfileEntry> Entries() const { return entries_; }
  bool Empty() const { return entries_.empty(); }

 private:
  std::vector<WmaProfileEntry> entries_;
};

// What a WMA output asks for.
struct WmaWanted {
  int sampleRate = 0;
  int bitRate = 0;  // bits per second
  int channels = 0;
  bool operator==(const WmaWanted&) const = default;
};

// The automatic choice for a source: its channels, and a rate and bit rate by its rate.
WmaWanted AutoWmaWanted(int sourceRate, int sourceChannels);

// The nearest encoding with the wanted channel count: the wanted rate exactly with the
// nearest bit rate (the higher one on a tie), else the highest encoding below the wanted
// rate, else the first one above it. nullopt when no entry has that channel count.
std::optional<WmaProfileEntry> SelectProfile(const WmaProfileList& list, const WmaWanted& wanted);

}  // namespace sonorell
