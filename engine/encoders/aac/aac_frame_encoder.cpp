#include "engine/encoders/aac/aac_frame_encoder.h"

#include <cstdlib>
#include <utility>

namespace sonorell {

bool AacFrameEncoder::Open(int rate, int channels, bool adts) {
  if (rate <= 0 || channels < 1 || channels > 2) return false;
  encoder_.reset(platform::faacEncOpen(static_cast<unsigned long>(rate),
                                       static_cast<unsigned int>(channels), &inputSamples_,
                                       &maxOutputBytes_));
  if (!encoder_ || inputSamples_ == 0 || maxOutputBytes_ == 0 ||
      inputSamples_ % static_cast<unsigned long>(channels) != 0) {
    encoder_.reset();
    return false;
  }
  configuration_ = platform::faacEncGetCurrentConfiguration(encoder_.get());
  if (configuration_ == nullptr) {
    encoder_.reset();
    return false;
  }
  configuration_->aacObjectType = platform::LOW;
  configuration_->mpegVersion = platform::MPEG4;
  configuration_->useTns = 0;
  configuration_->allowMidside = 1;
  configuration_->bandWidth = 0;
  configuration_->outputFormat = adts ? platform::ADTS_STREAM : platform::RAW_STREAM;
  configuration_->inputFormat = platform::FAAC_INPUT_16BIT;
  channels_ = channels;
  frameSize_ = static_cast<int>(inputSamples_ / static_cast<unsigned long>(channels));
  return true;
}

bool AacFrameEncoder::Start(StoreFrame store) {
  if (!encoder_ || started_) return false;
  if (platform::faacEncSetConfiguration(encoder_.get(), configuration_) == 0) return false;
  store_ = std::move(store);
  interleave_.assign(inputSamples_, 0);
  output_.assign(maxOutputBytes_, 0);
  fill_ = 0;
  samplesIn_ = 0;
  started_ = true;
  return true;
}

std::vector<uint8_t> AacFrameEncoder::DecoderSpecificInfo() const {
  if (!encoder_ || !started_) return {};
  unsigned char* bytes = nullptr;
  unsigned long size = 0;
  if (platform::faacEncGetDecoderSpecificInfo(encoder_.get(), &bytes, &size) != 0 ||
      bytes == nullptr) {
    return {};
  }
  const std::unique_ptr<unsigned char, decltype(&std::free)> owned(bytes, &std::free);
  return {bytes, bytes + size};
}

bool AacFrameEncoder::Store(int result) {
  // A negative count is an encoder error, never a length.
  if (result < 0 || static_cast<unsigned long>(result) > maxOutputBytes_) {
    failed_ = true;
    return false;
  }
  if (result > 0 && !store_(output_.data(), result)) failed_ = true;
  return !failed_;
}

bool AacFrameEncoder::EncodeBuffered() {
  samplesIn_ += fill_ / static_cast<size_t>(channels_);
  const int result = platform::faacEncEncode(
      encoder_.get(), reinterpret_cast<int32_t*>(interleave_.data()),
      static_cast<unsigned int>(fill_), output_.data(), static_cast<unsigned int>(output_.size()));
  fill_ = 0;
  return Store(result);
}

bool AacFrameEncoder::Write16(const int16_t* left, const int16_t* right, int frames) {
  if (!started_ || flushed_ || failed_ || left == nullptr) return false;
  if (channels_ == 2 && right == nullptr) return false;
  const size_t capacity = interleave_.size();
  for (int i = 0; i < frames; ++i) {
    interleave_[fill_++] = left[i];
    if (channels_ == 2) interleave_[fill_++] = right[i];
    if (fill_ == capacity && !EncodeBuffered()) return false;
  }
  return true;
}

bool AacFrameEncoder::Flush() {
  if (!started_ || failed_) return false;
  if (flushed_) return true;
  flushed_ = true;
  // The partial last frame first. The encoder may hold it back like any other, so its
  // answer of 0 does not end the flush: the drain below asks for the held-back frames
  // until the encoder has none left (a short file would otherwise lose its end).
  if (fill_ > 0 && !EncodeBuffered()) return false;
  int result = 0;
  do {
    result = platform::faacEncEncode(encoder_.get(), reinterpret_cast<int32_t*>(interleave_.data()),
                                     0, output_.data(), static_cast<unsigned int>(output_.size()));
    if (!Store(result)) return false;
  } while (result > 0);
  return true;
}

}  // namespace sonorell
