#pragma once

// Texts that FFmpeg's demuxers and muxers pass as metadata values.
#include <string>
#include <string_view>

namespace platform::ffmpeg {

// Well-formed UTF-8 (shortest forms, no surrogates, nothing above U+10FFFF).
bool IsUtf8(std::string_view text);

// Most demuxers hand out UTF-8; a few (RIFF INFO chunks, old QuickTime texts) pass the
// file's bytes through. Those are taken as Latin-1, so every value reaching a caller is UTF-8.
std::string AsUtf8(std::string_view text);

}  // namespace platform::ffmpeg
