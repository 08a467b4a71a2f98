#pragma once

// Inside the FFmpeg layer only: options handed to an FFmpeg open call, which keeps the
// entries it does not use.
extern "C" {
#include <libavutil/dict.h>
}

namespace platform::ffmpeg {

class OwnedDictionary {
 public:
  OwnedDictionary() = default;
  OwnedDictionary(const OwnedDictionary&) = delete;
  OwnedDictionary& operator=(const OwnedDictionary&) = delete;
  ~OwnedDictionary() { av_dict_free(&dictionary_); }

  void Set(const char* key, const char* value) { av_dict_set(&dictionary_, key, value, 0); }
  AVDictionary** Address() { return &dictionary_; }

 private:
  AVDictionary* dictionary_ = nullptr;
};

}  // namespace platform::ffmpeg
