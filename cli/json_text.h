#pragma once

#include <string>
#include <string_view>

namespace sonorell {

// A JSON string literal, quotes included, for text that may hold any bytes (file names,
// tags): valid UTF-8 is kept, control characters become \u escapes, and every byte that is
// not part of a valid UTF-8 sequence becomes \ufffd, so the document always parses.
std::string JsonString(std::string_view bytes);

// A JSON number in the C form whatever the locale (a non-finite value becomes 0).
std::string JsonNumber(double value, int decimals);

// How many terminal columns the text takes: wide East Asian characters two, combining
// marks none, an invalid byte one.
int DisplayWidth(std::string_view text);

}  // namespace sonorell
