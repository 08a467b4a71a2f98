#pragma once

#include <cstdint>
#include <string_view>

namespace sonorell {

// What a picture block states about its image, as its header gives it: JPEG, PNG and GIF
// are read; anything else (or a header cut short) leaves everything 0 and mime empty,
// which picture blocks allow.
struct ImageShape {
  const char* mime = "";  // "image/jpeg", "image/png", "image/gif"
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t depth = 0;    // bits per pixel
  uint32_t colours = 0;  // palette entries of an indexed image; 0 otherwise

  bool operator==(const ImageShape&) const = default;
};

ImageShape ReadImageShape(std::string_view image);

}  // namespace sonorell
