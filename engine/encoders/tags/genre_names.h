#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace sonorell {

// The ID3v1 genre list with Winamp's extension: index = ID3v1 genre number. Rows 0..79 are
// the original list, 80..147 the extension. Names are matched whole, so every row keeps the
// spelling that tags written by earlier versions of the program carry ("Psychadelic",
// "Trash Metal", ...).
inline constexpr size_t kGenreCount = 148;
extern const std::array<std::string_view, kGenreCount> GenreNames;

// The genre number of a name, compared whole and without regard to ASCII case; the first
// matching row wins. nullopt when no row matches (an empty name included).
std::optional<int> GenreIndexOf(std::string_view name);

}  // namespace sonorell
