#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

namespace sonorell {

// The entry of value 0 in the rate and bit-rate lists of the option pages: the source's.
inline constexpr const char* kSameAsOriginalText = "Same as original file";

// One entry of an option page's drop-down list.
struct ListEntry {
  std::string text;
  int value = 0;
  bool operator==(const ListEntry&) const = default;
};

// "%d" + suffix for every value, after the entries already there.
inline void AppendValueEntries(std::vector<ListEntry>& entries, std::span<const int> values,
                               const char* suffix) {
  entries.reserve(entries.size() + values.size() + 1);
  for (const int v : values) entries.push_back({std::to_string(v) + suffix, v});
}

// "%d" + suffix for every value, then "Same as original file" (0).
inline std::vector<ListEntry> ValueListEntries(std::span<const int> values, const char* suffix) {
  std::vector<ListEntry> entries;
  AppendValueEntries(entries, values, suffix);
  entries.push_back({kSameAsOriginalText, 0});
  return entries;
}

// first (an entry of its own, such as "Auto" or "Same as original file"), then "%d" + suffix
// for every value.
inline std::vector<ListEntry> ValueListEntriesAfter(ListEntry first, std::span<const int> values,
                                                    const char* suffix) {
  std::vector<ListEntry> entries{std::move(first)};
  AppendValueEntries(entries, values, suffix);
  return entries;
}

// A word or two after a level's number in a list of levels: "0 (fastest)".
struct LevelNote {
  int level = 0;
  const char* note = "";
};

// One entry for every whole number from first to last, valued as itself, each followed by
// its note when it has one.
inline std::vector<ListEntry> LevelEntries(int first, int last, std::span<const LevelNote> notes) {
  std::vector<ListEntry> entries;
  for (int level = first; level <= last; ++level) {
    std::string text = std::to_string(level);
    for (const LevelNote& n : notes) {
      if (n.level == level) text = text + " (" + n.note + ")";
    }
    entries.push_back({text, level});
  }
  return entries;
}

// The value a stored setting shows as: 0 stays 0 ("Same as original file"), a listed value
// stays, anything else shows as the first entry.
inline int ShownListValue(std::span<const int> values, int stored) {
  if (stored == 0 || values.empty()) return 0;
  for (const int v : values) {
    if (v == stored) return v;
  }
  return values.front();
}

}  // namespace sonorell
