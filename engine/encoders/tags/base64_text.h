#pragma once

#include <string>
#include <string_view>

namespace sonorell {

// Bytes as base64 text (the standard alphabet, '=' padding, no line breaks), as a
// METADATA_BLOCK_PICTURE comment carries its picture block.
std::string Base64Text(std::string_view bytes);

}  // namespace sonorell
