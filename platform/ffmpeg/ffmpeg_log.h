#pragma once

namespace platform::ffmpeg {

// Keeps FFmpeg's own warnings about odd streams off the user's terminal; decoding
// failures are reported through the callers' results instead.
void QuietFfmpegLog();

}  // namespace platform::ffmpeg
