#include "platform/ffmpeg/md5_digest.h"

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

namespace platform::ffmpeg {

struct Md5Digest::State {
  struct Free {
    void operator()(AVMD5* md5) const { av_free(md5); }
  };
  std::unique_ptr<AVMD5, Free> md5{av_md5_alloc()};
};

Md5Digest::Md5Digest() : state_(std::make_unique<State>()) {
  if (state_->md5) av_md5_init(state_->md5.get());
}

Md5Digest::~Md5Digest() = default;

void Md5Digest::Add(const uint8_t* bytes, size_t size) {
  if (state_->md5) av_md5_update(state_->md5.get(), bytes, size);
}

std::array<uint8_t, 16> Md5Digest::Result() {
  std::array<uint8_t, 16> digest{};
  if (!state_->md5) return digest;
  av_md5_final(state_->md5.get(), digest.data());
  av_md5_init(state_->md5.get());
  return digest;
}

}  // namespace platform::ffmpeg
