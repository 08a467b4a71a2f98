#pragma once

#include <string>

namespace sonorell {

// A picture that travels with the tags: the album cover, as the source holds it (an ID3v2
// APIC frame, a FLAC PICTURE block, a METADATA_BLOCK_PICTURE comment, an MP4 covr item, a
// WM/Picture attribute) or as an image file beside the source.
struct CoverPicture {
  int type = 3;             // the ID3v2 / FLAC picture type; 3 is the front cover
  std::string mime;         // "image/jpeg", "image/png", ...
  std::string description;  // UTF-8; often empty
  std::string data;         // the image file's bytes, exactly as found

  bool operator==(const CoverPicture&) const = default;
};

}  // namespace sonorell
