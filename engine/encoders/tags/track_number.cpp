#include "engine/encoders/tags/track_number.h"

#include <climits>

namespace sonorell {

int TrackNumberValue(std::string_view track) {
  size_t pos = 0;
  const auto isBlank = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  while (pos < track.size() && isBlank(track[pos])) ++pos;
  bool negative = false;
  if (pos < track.size() && (track[pos] == '+' || track[pos] == '-')) {
    negative = track[pos] == '-';
    ++pos;
  }
  long long value = 0;  // clamped as it grows, so it can never overflow
  for (; pos < track.size() && track[pos] >= '0' && track[pos] <= '9'; ++pos) {
    value = value * 10 + (track[pos] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

uint8_t Id3TrackNumber(std::string_view track) {
  const int value = TrackNumberValue(track);
  return value <= 0 ? 0 : static_cast<uint8_t>(value & 0xFF);
}

}  // namespace sonorell
