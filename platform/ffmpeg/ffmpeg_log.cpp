#include "platform/ffmpeg/ffmpeg_log.h"

extern "C" {
#include <libavutil/log.h>
}

namespace platform::ffmpeg {

void QuietFfmpegLog() {
  av_log_set_level(AV_LOG_FATAL);
}

}  // namespace platform::ffmpeg
