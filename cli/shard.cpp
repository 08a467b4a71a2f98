#include "cli/shard.h"

#include <cstdint>

namespace sonorell {
namespace {

// More slices than this makes no sense for a batch of files and keeps the arithmetic small.
constexpr uint64_t kMaxShardCount = 1000000;

// Digits only (no sign, no blanks); nothing when empty or above the limit.
std::optional<uint64_t> ParseCount(const std::string& text, size_t begin, size_t end) {
  if (begin >= end) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > kMaxShardCount) return std::nullopt;
  }
  return value;
}

// Start of slice k of count over total items: floor(k * total / count), split so the product
// cannot overflow even for a huge total (k * (total % count) < count * count).
uint64_t SliceStart(uint64_t k, uint64_t total, uint64_t count) {
  return k * (total / count) + (k * (total % count)) / count;
}

}  // namespace

std::optional<Shard> ParseShard(const std::string& text) {
  const size_t slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  const std::optional<uint64_t> index = ParseCount(text, 0, slash);
  const std::optional<uint64_t> count = ParseCount(text, slash + 1, text.size());
  if (!index || !count) return std::nullopt;
  if (*index < 1 || *index > *count) return std::nullopt;
  return Shard{static_cast<int>(*index), static_cast<int>(*count)};
}

bool InShard(const Shard& shard, size_t position, size_t total) {
  if (shard.count < 1 || shard.index < 1 || shard.index > shard.count) return false;
  if (position >= total) return false;
  const uint64_t count = static_cast<uint64_t>(shard.count);
  const uint64_t k = static_cast<uint64_t>(shard.index) - 1;
  const uint64_t p = position;
  return SliceStart(k, total, count) <= p && p < SliceStart(k + 1, total, count);
}

}  // namespace sonorell
