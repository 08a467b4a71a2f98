#include "engine/sources/au/au_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/sources/codecs/g711.h"
#include "engine/sources/codecs/pcm_to_16.h"

namespace sonorell {
namespace {

constexpr size_t kFixedHeaderBytes = 24;
constexpr size_t kHeaderReadBytes = 120;
constexpr uint32_t kUnknownDataSize = 0xFFFFFFFF;
constexpr uint32_t kHighestEncoding = 27;
// How far a misplaced encoding word is looked for: byte 13 onwards, one byte at a time.
constexpr size_t kEncodingSearchStart = 13;
constexpr size_t kEncodingSearchPositions = 20;

// Writes one converted sample per frame to the left buffer and, when there is one, the
// next channel's sample to the right buffer.
template <typename Out, typename Convert>
void Deliver(const uint8_t* in, int frames, size_t frameBytes, size_t sampleBytes, Out* left,
             Out* right, Convert convert) {
  for (int f = 0; f < frames; ++f, in += frameBytes) {
    left[f] = convert(in);
    if (right) right[f] = convert(in + sampleBytes);
  }
}

int ClampToInt(uint64_t value) {
  return static_cast<int>(std::min<uint64_t>(value, std::numeric_limits<int>::max()));
}

}  // namespace

AuReader::~AuReader() {
  Close();
}

void AuReader::Close() {
  file_.Close();
  littleEndian_ = false;
  encoding_ = Encoding::kPcm16;
  storedBits_ = 0;
  dataOffset_ = 0;
  blockBytes_ = 0;
  reservoir_ = 0;
  reservoirBits_ = 0;
  missingBytes_ = 0;
  ResetProperties();
}

bool AuReader::Open(const std::string& path, int /*renderingRate*/) {
  Close();
  if (!file_.Open(path) || !ReadHeader()) {
    Close();
    return false;
  }
  return true;
}

bool AuReader::ReadHeader() {
  uint8_t header[kHeaderReadBytes];
  const size_t got = file_.Read(header, sizeof header);
  if (got < kFixedHeaderBytes) return false;

  static constexpr uint8_t kBigEndian[2][4] = {{0x2E, 0x73, 0x6E, 0x64}, {0x2E, 0x73, 0x64, 0x00}};
  static constexpr uint8_t kLittleEndian[2][4] = {{0x64, 0x6E, 0x73, 0x2E},
                                                  {0x00, 0x64, 0x73, 0x2E}};
  if (std::memcmp(header, kBigEndian[0], 4) == 0 || std::memcmp(header, kBigEndian[1], 4) == 0) {
    littleEndian_ = false;
  } else if (std::memcmp(header, kLittleEndian[0], 4) == 0 ||
             std::memcmp(header, kLittleEndian[1], 4) == 0) {
    littleEndian_ = true;
  } else {
    return false;
  }
  const auto word = [&](size_t at) {
    return littleEndian_ ? LoadLe32(header + at) : LoadBe32(header + at);
  };

  const uint32_t dataOffset = word(4);
  const uint32_t dataSize = word(8);
  uint32_t encoding = word(12);
  size_t rateAt = 16;
  if (encoding > kHighestEncoding) {
    // Some writers shift the fields by a few bytes: take the first plausible encoding word
    // that follows, with the rate and the channel count after it.
    bool found = false;
    for (size_t at = kEncodingSearchStart;
         at < kEncodingSearchStart + kEncodingSearchPositions && at + 12 <= got; ++at) {
      if (word(at) <= kHighestEncoding) {
        encoding = word(at);
        rateAt = at + 4;
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  const uint32_t rate = word(rateAt);
  const uint32_t channels = word(rateAt + 4);

  // The sound data starts after the header words and inside the file.
  if (dataOffset < rateAt + 8 || dataOffset > file_.Size()) return false;
  if (!UsableSampleRate(rate) || channels == 0 || channels > kMaxChannels) return false;

  G72xVariant variant = G72xVariant::kG721;
  switch (encoding) {
    case 1:
      encoding_ = Encoding::kMuLaw;
      storedBits_ = 8;
      break;
    case 2:
      encoding_ = Encoding::kPcm8;
      storedBits_ = 8;
      break;
    case 3:
      encoding_ = Encoding::kPcm16;
      storedBits_ = 16;
      break;
    case 4:
      encoding_ = Encoding::kPcm24;
      storedBits_ = 24;
      break;
    case 5:
      encoding_ = Encoding::kPcm32;
      storedBits_ = 32;
      break;
    case 6:
      encoding_ = Encoding::kFloat;
      storedBits_ = 32;
      break;
    case 7:
      encoding_ = Encoding::kDouble;
      storedBits_ = 64;
      break;
    case 23:
      encoding_ = Encoding::kAdpcm;
      variant = G72xVariant::kG721;
      break;
    case 25:
      encoding_ = Encoding::kAdpcm;
      variant = G72xVariant::kG723_24;
      break;
    case 26:
      encoding_ = Encoding::kAdpcm;
      variant = G72xVariant::kG723_40;
      break;
    case 27:
      encoding_ = Encoding::kALaw;
      storedBits_ = 8;
      break;
    default:
      return false;
  }
  if (encoding_ == Encoding::kAdpcm) {
    adpcm_.Reset(variant);
    storedBits_ = G72xCodeBits(variant);
    reservoir_ = 0;
    reservoirBits_ = 0;
  }
  dataOffset_ = dataOffset;

  // A size beyond the file (or unknown) means: what the file holds.
  const uint64_t available = file_.Size() - dataOffset_;
  length_ = dataSize == kUnknownDataSize ? available : std::min<uint64_t>(dataSize, available);
  missingBytes_ = dataSize == kUnknownDataSize || dataSize <= available ? 0 : dataSize - available;
  position_ = 0;
  if (!file_.Seek(dataOffset_)) return false;

  // BlockFrames is a multiple of 8, so a block of any code size is whole bytes.
  blockBytes_ = static_cast<size_t>(channels) * BlockFrames * static_cast<size_t>(storedBits_) / 8;
  buffer_.resize(blockBytes_);

  SetFormat(static_cast<int>(channels), 16, static_cast<int>(rate));
  const uint64_t frames = length_ * 8 / (static_cast<uint64_t>(storedBits_) * channels);
  duration_ = ClampToInt(frames / rate);
  bitrate_ = duration_ > 0
                 ? ClampToInt(length_ / (static_cast<uint64_t>(duration_) * 125))
                 : ClampToInt(static_cast<uint64_t>(storedBits_) * channels * rate / 1000);
  return true;
}

int AuReader::Read(void* left, void* right) {
  if (!file_.IsOpen() || left == nullptr) return 0;
  auto* l = static_cast<int16_t*>(left);
  auto* r = outputChannels_ == 2 ? static_cast<int16_t*>(right) : nullptr;
  return Delivered(position_ >= length_            ? 0
                   : encoding_ == Encoding::kAdpcm ? ReadAdpcm(l, r)
                                                   : ReadSamples(l, r));
}

int AuReader::Delivered(int frames) {
  // One frame of every channel, rounded up to whole bytes, is the unit of the data.
  if (frames == 0)
    NoteMissingData(missingBytes_, (static_cast<uint64_t>(storedBits_) * channels_ + 7) / 8);
  return frames;
}

int AuReader::GetWideBits() const {
  switch (encoding_) {
    case Encoding::kPcm24:
    case Encoding::kFloat:
    case Encoding::kDouble:
      return 24;
    case Encoding::kPcm32:
      return 32;
    default:
      return AudioSource::GetWideBits();
  }
}

int AuReader::ReadWide(int32_t* left, int32_t* right) {
  if (GetWideBits() <= 16) return AudioSource::ReadWide(left, right);
  if (!file_.IsOpen() || left == nullptr) return 0;
  if (outputChannels_ != 2) right = nullptr;
  const int frames = position_ >= length_ ? 0 : ReadStoredFrames();
  if (frames == 0) return Delivered(0);
  const size_t sampleBytes = static_cast<size_t>(storedBits_) / 8;
  const size_t frameBytes = sampleBytes * static_cast<size_t>(channels_);
  const uint8_t* in = buffer_.data();
  const bool le = littleEndian_;
  switch (encoding_) {
    case Encoding::kPcm24:
      Deliver(in, frames, frameBytes, sampleBytes, left, right,
              [le](const uint8_t* p) { return le ? LoadLe24(p) : LoadBe24(p); });
      break;
    case Encoding::kPcm32:
      Deliver(in, frames, frameBytes, sampleBytes, left, right, [le](const uint8_t* p) {
        return static_cast<int32_t>(le ? LoadLe32(p) : LoadBe32(p));
      });
      break;
    case Encoding::kFloat:
      Deliver(in, frames, frameBytes, sampleBytes, left, right, [le](const uint8_t* p) {
        return FloatToInt24(BitsToFloat(le ? LoadLe32(p) : LoadBe32(p)));
      });
      break;
    default:
      Deliver(in, frames, frameBytes, sampleBytes, left, right, [le](const uint8_t* p) {
        return FloatToInt24(BitsToDouble(le ? LoadLe64(p) : LoadBe64(p)));
      });
      break;
  }
  return frames;
}

int AuReader::ReadStoredFrames() {
  const size_t sampleBytes = static_cast<size_t>(storedBits_) / 8;
  const size_t frameBytes = sampleBytes * static_cast<size_t>(channels_);
  const uint64_t request = std::min<uint64_t>(blockBytes_, length_ - position_);
  position_ += request;
  // Whole frames only: a partial frame at the end of the data has no sound to give.
  const size_t wanted = static_cast<size_t>(request) / frameBytes * frameBytes;
  if (wanted == 0) return 0;
  const size_t got = file_.Read(buffer_.data(), wanted);
  if (got < wanted) position_ = length_;  // the file is shorter than it was at Open
  return static_cast<int>(got / frameBytes);
}

int AuReader::ReadSamples(int16_t* left, int16_t* right) {
  const int frames = ReadStoredFrames();
  if (frames == 0) return 0;
  const size_t sampleBytes = static_cast<size_t>(storedBits_) / 8;
  const size_t frameBytes = sampleBytes * static_cast<size_t>(channels_);
  const uint8_t* in = buffer_.data();
  const bool le = littleEndian_;
  switch (encoding_) {
    case Encoding::kMuLaw:
      Deliver(in, frames, frameBytes, sampleBytes, left, right,
              [](const uint8_t* p) { return MuLawToLinear(*p); });
      break;
    case Encoding::kALaw:
      Deliver(in, frames, frameBytes, sampleBytes, left, right,
              [](const uint8_t* p) { return ALawToLinear(*p); });
      break;
    case Encoding::kPcm8:
      Deliver(in, frames, frameBytes, sampleBytes, left, right,
              [](const uint8_t* p) { return static_cast<int16_t>(static_cast<int8_t>(*p) * 256); });
      break;
    case Encoding::kPcm16:
      Deliver(in, frames, frameBytes, sampleBytes, left, right, [le](const uint8_t* p) {
        return static_cast<int16_t>(le ? LoadLe16(p) : LoadBe16(p));
      });
      break;
    case Encoding::kPcm24:
      Deliver(in, frames, frameBytes, sampleBytes, left, right,
              [le](const uint8_t* p) { return Int24ToInt16(le ? LoadLe24(p) : LoadBe24(p)); });
      break;
    case Encoding::kPcm32:
      Deliver(in, frames, frameBytes, sampleBytes, left, right, [le](const uint8_t* p) {
        return Int32ToInt16(static_cast<int32_t>(le ? LoadLe32(p) : LoadBe32(p)));
      });
      break;
    case Encoding::kFloat:
      Deliver(in, frames, frameBytes, sampleBytes, left, right, [le](const uint8_t* p) {
        return FloatToInt16(BitsToFloat(le ? LoadLe32(p) : LoadBe32(p)));
      });
      break;
    case Encoding::kDouble:
      Deliver(in, frames, frameBytes, sampleBytes, left, right, [le](const uint8_t* p) {
        return FloatToInt16(BitsToDouble(le ? LoadLe64(p) : LoadBe64(p)));
      });
      break;
    case Encoding::kAdpcm:
      return 0;
  }
  return frames;
}

int AuReader::ReadAdpcm(int16_t* left, int16_t* right) {
  const uint64_t request = std::min<uint64_t>(blockBytes_, length_ - position_);
  position_ += request;
  const size_t got = file_.Read(buffer_.data(), static_cast<size_t>(request));
  if (got < request) position_ = length_;

  // Codes are packed from the least significant bit up; a frame is one code per channel,
  // and bits that do not make a whole frame at the end of the data are dropped.
  const int codeBits = storedBits_;
  const int channels = channels_;
  const uint64_t frameBits = static_cast<uint64_t>(codeBits) * static_cast<uint64_t>(channels);
  const uint64_t bitsAvailable = static_cast<uint64_t>(reservoirBits_) + uint64_t{got} * 8;
  const int frames = static_cast<int>(std::min<uint64_t>(bitsAvailable / frameBits, BlockFrames));
  const uint32_t mask = (1u << codeBits) - 1;
  const uint8_t* in = buffer_.data();
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      if (reservoirBits_ < codeBits) {
        reservoir_ |= static_cast<uint32_t>(*in++) << reservoirBits_;
        reservoirBits_ += 8;
      }
      const int16_t sample = adpcm_.Decode(reservoir_ & mask);
      reservoir_ >>= codeBits;
      reservoirBits_ -= codeBits;
      if (c == 0) {
        left[f] = sample;
      } else if (c == 1 && right) {
        right[f] = sample;
      }
    }
  }
  return frames;
}

}  // namespace sonorell
