#pragma once

#include <optional>
#include <string>

namespace sonorell {

// "I/N" of --shard: slice I (1-based) of N.
struct Shard {
  int index = 1;
  int count = 1;
};

// Parses "I/N" with 1 <= I <= N; nothing for anything else.
std::optional<Shard> ParseShard(const std::string& text);

// True when the item at position (0-based) of a sorted list of total items belongs to the
// shard. The N slices are contiguous, differ in size by at most one, and together hold
// every item exactly once.
bool InShard(const Shard& shard, size_t position, size_t total);

}  // namespace sonorell
