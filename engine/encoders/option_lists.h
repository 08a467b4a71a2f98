#pragma once

#include <span>
#include <string>
#include <vector>

namespace sonorell {

// The last entry of the rate and bit-rate lists of the option pages: value 0, the source's.
inline constexpr const char* kSameAsOriginalText = "Same as original file";

// One entry of an option page's drop-down list.
struct ListEntry {
  std::string text;
  int value = 0;
  bool operator==(const ListEntry&) const = default;
};

// "%d" + suffix for every value, then "Same as original file" (0).
inline std::vector<ListEntry> ValueListEntries(std::span<const int> values, const char* suffix) {
  std::vector<ListEntry> entries;
  entries.reserve(values.size() + 1);
  for (const int v : values) entries.push_back({std::to_string(v) + suffix, v});
  entries.push_back({kSameAsOriginalText, 0});
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
