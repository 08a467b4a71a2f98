#include "engine/encoders/flac/flac_split.h"

#include <FLAC/stream_encoder.h>

#include <bit>

#include "engine/dsp/interleave.h"
#include "engine/encoders/flac/flac_frame_number.h"
#include "engine/encoders/split/frame_joiner.h"
#include "platform/ffmpeg/md5_digest.h"

// Exported by libFLAC (its own tools turn the signature off with it) but left out of the
// public header: a chunk's signature is of no use, the file's is taken as the audio arrives.
extern "C" FLAC__bool FLAC__stream_encoder_set_do_md5(FLAC__StreamEncoder* encoder,
                                                      FLAC__bool value);

namespace sonorell {
namespace {

struct EncoderDeleter {
  void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};
using EncoderHandle = std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter>;

FLAC__StreamEncoderWriteStatus Discard(const FLAC__StreamEncoder*, const FLAC__byte[], size_t,
                                       uint32_t, uint32_t, void*) {
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

// The block size libFLAC chooses for a format and level (it decides at the start).
uint32_t BlockSizeOf(const PcmFormat& format, int level) {
  const EncoderHandle e(FLAC__stream_encoder_new());
  if (!e || !ConfigureFlacEncoder(e.get(), format, level) ||
      FLAC__stream_encoder_init_stream(e.get(), Discard, nullptr, nullptr, nullptr, nullptr) !=
          FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    return 0;
  }
  return FLAC__stream_encoder_get_blocksize(e.get());
}

// The stream's number of the frame a position falls in: every frame holds one block.
int64_t FrameOf(int64_t position, uint32_t blockSize) {
  return position / blockSize;
}

// One chunk's frames from a libFLAC encoder of its own, without metadata or signature.
class FlacChunkEncoder : public ChunkEncoder {
 public:
  bool Open(const PcmFormat& format, int level, uint32_t blockSize) {
    format_ = format;
    blockSize_ = blockSize;
    encoder_.reset(FLAC__stream_encoder_new());
    return encoder_ && ConfigureFlacEncoder(encoder_.get(), format, level) &&
           FLAC__stream_encoder_set_do_md5(encoder_.get(), false) &&
           FLAC__stream_encoder_init_stream(encoder_.get(), OnWrite, nullptr, nullptr, nullptr,
                                            this) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
  }
  bool Write(const void* left, const void* right, int frames) override {
    const FLAC__int32* planes[2];
    FlacPlanes(format_, left, right, frames, left_, right_, planes);
    return FLAC__stream_encoder_process(encoder_.get(), planes, static_cast<uint32_t>(frames));
  }
  // Its frames are numbered in the stream's order here, on the chunk's own thread: with no
  // overlap the chunk's first frame is the one its start falls on.
  bool Finish(EncodedChunk& chunk) override {
    bool ok = FLAC__stream_encoder_finish(encoder_.get());
    const auto first = static_cast<uint64_t>(FrameOf(chunk.span.inputStart, blockSize_));
    for (size_t j = 0; ok && j < frames_.size(); ++j) ok = RenumberFlacFrame(frames_[j], first + j);
    chunk.units = std::move(frames_);
    return ok;
  }

 private:
  static FLAC__StreamEncoderWriteStatus OnWrite(const FLAC__StreamEncoder*,
                                                const FLAC__byte buffer[], size_t bytes,
                                                uint32_t samples, uint32_t, void* self) {
    // Metadata comes with no samples and is not kept; each frame comes whole in one call.
    if (samples > 0)
      static_cast<FlacChunkEncoder*>(self)->frames_.emplace_back(buffer, buffer + bytes);
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
  }

  PcmFormat format_;
  uint32_t blockSize_ = 0;
  EncoderHandle encoder_;
  std::vector<int32_t> left_;
  std::vector<int32_t> right_;
  std::vector<std::vector<uint8_t>> frames_;
};

class FlacJoiner : public FrameJoiner {
 public:
  FlacJoiner(std::unique_ptr<FlacWriter> writer, const PcmFormat& format, uint32_t blockSize)
      : writer_(std::move(writer)), format_(format), blockSize_(blockSize) {}

  // FLAC's signature: every sample little-endian in its own width's bytes, interleaved.
  void Sign(const void* left, const void* right, int frames) {
    const int channels = format_.channels;
    if (format_.bits == 16 && std::endian::native == std::endian::little) {
      // The common case at memory speed: the samples' own bytes, interleaved.
      signing_.resize(static_cast<size_t>(frames) * static_cast<size_t>(2 * channels));
      InterleaveBlock(left, right, frames, channels, 2, signing_.data());
      md5_.Add(signing_.data(), signing_.size());
      return;
    }
    const int width = (format_.bits + 7) / 8;
    signing_.resize(static_cast<size_t>(frames) * static_cast<size_t>(width * channels));
    uint8_t* at = signing_.data();
    for (int i = 0; i < frames; ++i) {
      for (int c = 0; c < channels; ++c) {
        const void* plane = c == 0 ? left : right;
        const int32_t v = format_.bits == 16 ? static_cast<const int16_t*>(plane)[i]
                                             : static_cast<const int32_t*>(plane)[i];
        for (int b = 0; b < width; ++b) *at++ = static_cast<uint8_t>(v >> (8 * b));
      }
    }
    md5_.Add(signing_.data(), signing_.size());
  }

 protected:
  int64_t FirstFrame(const ChunkSpan& span) const override {
    return FrameOf(span.inputStart, blockSize_);
  }
  int64_t FrameAt(int64_t position) const override { return FrameOf(position, blockSize_); }
  bool Emit(std::vector<uint8_t>& unit, int64_t /*frame*/) override {
    return writer_->AppendFrame(unit);
  }
  bool Close(int64_t totalFrames, int64_t framesEmitted) override {
    // Every frame was counted whole; the last one holds what is left of the audio.
    if (framesEmitted != (totalFrames + blockSize_ - 1) / blockSize_) return false;
    return writer_->FinishFrames(blockSize_, static_cast<uint64_t>(totalFrames), md5_.Result());
  }

 private:
  std::unique_ptr<FlacWriter> writer_;
  PcmFormat format_;
  uint32_t blockSize_;
  platform::ffmpeg::Md5Digest md5_;
  std::vector<uint8_t> signing_;
};

}  // namespace

SplitFormat FlacSplitFormat(std::unique_ptr<FlacWriter> writer, const PcmFormat& format,
                            int level) {
  SplitFormat split;
  const uint32_t blockSize = BlockSizeOf(format, level);
  if (blockSize == 0) return split;  // no encoder: every chunk fails, and with it the file
  split.grid = MakeSplitGrid(blockSize, format.rate, kSplitChunkSeconds, 0, 0);
  split.openEncoder = [format, level,
                       blockSize](const ChunkSpan&) -> std::unique_ptr<ChunkEncoder> {
    auto encoder = std::make_unique<FlacChunkEncoder>();
    if (!encoder->Open(format, level, blockSize)) return nullptr;
    return encoder;
  };
  auto joiner = std::make_unique<FlacJoiner>(std::move(writer), format, blockSize);
  FlacJoiner* signer = joiner.get();
  split.watch = [signer](const void* left, const void* right, int frames) {
    signer->Sign(left, right, frames);
  };
  split.joiner = std::move(joiner);
  return split;
}

}  // namespace sonorell
