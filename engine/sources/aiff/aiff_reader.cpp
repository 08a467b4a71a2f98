#include "engine/sources/aiff/aiff_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/sources/codecs/g711.h"
#include "engine/sources/codecs/ima_adpcm.h"
#include "engine/sources/codecs/pcm_to_16.h"

namespace sonorell {
namespace {

constexpr size_t kAifcCommBytes = 22;  // the AIFF fields plus the compression type
constexpr size_t kAiffCommBytes = 18;
constexpr size_t kSsndHeaderBytes = 8;  // offset and block size
constexpr size_t kIma4PacketBytes = 34;
constexpr int kIma4PacketFrames = 64;
constexpr int kMaxDwvwChannels = 6;

// The 80-bit IEEE 754 extended value AIFF keeps its sample rate in.
double ExtendedToDouble(const uint8_t* p) {
  const bool negative = (p[0] & 0x80) != 0;
  const int exponent = ((p[0] & 0x7F) << 8) | p[1];
  const uint32_t high = LoadBe32(p + 2);
  const uint32_t low = LoadBe32(p + 6);
  if (exponent == 0 && high == 0 && low == 0) return 0.0;
  double value;
  if (exponent == 0x7FFF) {
    value = std::numeric_limits<double>::infinity();
  } else {
    value = std::ldexp(static_cast<double>(high), exponent - 16383 - 31) +
            std::ldexp(static_cast<double>(low), exponent - 16383 - 63);
  }
  return negative ? -value : value;
}

// Stored sample to delivered sample.
uint8_t SignedByte(const uint8_t* p) {
  return static_cast<uint8_t>(p[0] ^ 0x80);
}
uint8_t UnsignedByte(const uint8_t* p) {
  return p[0];
}
int16_t Be16(const uint8_t* p) {
  return static_cast<int16_t>(LoadBe16(p));
}
int16_t Le16(const uint8_t* p) {
  return static_cast<int16_t>(LoadLe16(p));
}
int16_t Be24(const uint8_t* p) {
  return Int24ToInt16(LoadBe24(p));
}
int16_t Le24(const uint8_t* p) {
  return Int24ToInt16(LoadLe24(p));
}
int16_t Be32(const uint8_t* p) {
  return Int32ToInt16(static_cast<int32_t>(LoadBe32(p)));
}
int16_t Le32(const uint8_t* p) {
  return Int32ToInt16(static_cast<int32_t>(LoadLe32(p)));
}
int16_t Float32(const uint8_t* p) {
  return FloatToInt16(BitsToFloat(LoadBe32(p)));
}
int16_t Float64(const uint8_t* p) {
  return FloatToInt16(BitsToDouble(LoadBe64(p)));
}
int16_t MuLaw(const uint8_t* p) {
  return MuLawToLinear(p[0]);
}
int16_t ALaw(const uint8_t* p) {
  return ALawToLinear(p[0]);
}

// The same at the width the wide read delivers.
int32_t Be24Wide(const uint8_t* p) {
  return LoadBe24(p);
}
int32_t Le24Wide(const uint8_t* p) {
  return LoadLe24(p);
}
int32_t Be32Wide(const uint8_t* p) {
  return static_cast<int32_t>(LoadBe32(p));
}
int32_t Le32Wide(const uint8_t* p) {
  return static_cast<int32_t>(LoadLe32(p));
}
int32_t Float32Wide(const uint8_t* p) {
  return FloatToInt24(BitsToFloat(LoadBe32(p)));
}
int32_t Float64Wide(const uint8_t* p) {
  return FloatToInt24(BitsToDouble(LoadBe64(p)));
}

template <typename Out, Out (*Load)(const uint8_t*)>
void ConvertFrames(const uint8_t* bytes, int frames, size_t frameBytes, size_t rightOffset,
                   void* left, void* right) {
  Out* l = static_cast<Out*>(left);
  Out* r = static_cast<Out*>(right);
  if (r != nullptr) {
    for (int i = 0; i < frames; ++i, bytes += frameBytes) {
      l[i] = Load(bytes);
      r[i] = Load(bytes + rightOffset);
    }
  } else {
    for (int i = 0; i < frames; ++i, bytes += frameBytes) l[i] = Load(bytes);
  }
}

// One channel's 34-byte Apple IMA4 packet: a header with the predictor in its top nine bits
// and the step index in the low seven, then 64 codes, low nibble first.
void DecodeIma4Packet(const uint8_t* packet, int16_t* out) {
  const uint16_t header = LoadBe16(packet);
  ImaChannelState state;
  state.predictor = static_cast<int16_t>(header & 0xFF80);
  state.stepIndex = ImaClampStepIndex(header & 0x7F);
  for (int i = 0; i < 32; ++i) {
    const uint8_t codes = packet[2 + i];
    out[2 * i] = ImaExpandNibble(state, codes & 0x0F);
    out[2 * i + 1] = ImaExpandNibble(state, codes >> 4);
  }
}

int ClampToInt(uint64_t value) {
  return static_cast<int>(std::min<uint64_t>(value, std::numeric_limits<int>::max()));
}

}  // namespace

void AiffReader::Close() {
  file_.Close();
  aifc_ = false;
  sawComm_ = false;
  sawSsnd_ = false;
  fileChannels_ = 0;
  frameCount_ = 0;
  sampleSize_ = 0;
  commRate_ = 0;
  kind_ = Kind::kNone;
  littleEndian_ = false;
  dataStart_ = 0;
  dataSize_ = 0;
  remaining_ = 0;
  sampleBytes_ = 0;
  frameBytes_ = 0;
  rightOffset_ = 0;
  convert_ = nullptr;
  wideConvert_ = nullptr;
  wideBits_ = 16;
  requestBytes_ = 0;
  gsm_ = GsmDecoder();
  dwvw_ = DwvwDecoder();
  dwvwValues_ = std::vector<int32_t>();
  dwvwFramesLeft_ = 0;
  missingBytes_ = 0;
  ResetProperties();
}

bool AiffReader::Open(const std::string& path, int /*renderingRate*/) {
  Close();
  if (!file_.Open(path)) return false;
  length_ = file_.Size();
  if (!WalkContainer() || !SetUpReader()) {
    Close();
    return false;
  }

  // A header that claims more than the file holds is read to what is there.
  const uint64_t inFile = dataStart_ < length_ ? length_ - dataStart_ : 0;
  missingBytes_ = dataSize_ > inFile ? dataSize_ - inFile : 0;
  dataSize_ = std::min(dataSize_, inFile);
  remaining_ = dataSize_;

  uint64_t frames;
  if (kind_ == Kind::kIma4) {
    frames = static_cast<uint64_t>(static_cast<double>(dataSize_) /
                                   static_cast<double>(kIma4PacketBytes * fileChannels_) *
                                   kIma4PacketFrames);
  } else if (kind_ == Kind::kGsm) {
    frames = static_cast<uint64_t>(static_cast<double>(dataSize_) / GsmDecoder::kPlainFrameBytes *
                                   GsmDecoder::kFrameSamples);
  } else {
    frames = (frameCount_ == 0 || frameCount_ == 0xFFFFFFFFu) ? 1 : frameCount_;
  }
  duration_ = ClampToInt(frames / static_cast<uint64_t>(commRate_));
  if (duration_ > 0) {
    bitrate_ = ClampToInt(length_ / (static_cast<uint64_t>(duration_) * 125));
  } else {
    bitrate_ =
        ClampToInt(static_cast<uint64_t>(std::max(sampleSize_, 0)) *
                   static_cast<uint64_t>(fileChannels_) * static_cast<uint64_t>(commRate_) / 1000);
  }

  if (!file_.Seek(dataStart_)) {
    Close();
    return false;
  }
  // Progress never passes the end, even when the first sample lies beyond a truncated file.
  position_ = std::min(dataStart_, length_);
  return true;
}

bool AiffReader::WalkContainer() {
  uint8_t head[12];
  if (!file_.ReadExact(head, sizeof head) || std::memcmp(head, "FORM", 4) != 0) return false;
  if (std::memcmp(head + 8, "AIFC", 4) == 0) {
    aifc_ = true;
  } else if (std::memcmp(head + 8, "AIFF", 4) != 0) {
    return false;
  }

  // Every step reads an 8-byte header and moves on by the chunk, so the walk ends.
  uint8_t chunk[8];
  while (file_.ReadExact(chunk, sizeof chunk)) {
    const uint32_t declared = LoadBe32(chunk + 4);
    const uint64_t size = uint64_t{declared} + (declared & 1);  // chunks are padded to even
    if (std::memcmp(chunk, "COMM", 4) == 0) {
      if (!ParseComm(size)) return false;
      sawComm_ = true;
      if (sawSsnd_) return true;
    } else if (std::memcmp(chunk, "SSND", 4) == 0) {
      uint8_t fields[kSsndHeaderBytes];
      if (declared < kSsndHeaderBytes || !file_.ReadExact(fields, sizeof fields)) return false;
      const uint32_t offset = LoadBe32(fields);
      // The pad byte of an odd chunk is not sound; an offset past the chunk leaves no sound.
      if (offset > declared - kSsndHeaderBytes) return false;
      dataStart_ = file_.Tell() + offset;
      dataSize_ = declared - kSsndHeaderBytes - offset;
      sawSsnd_ = true;
      if (sawComm_) return true;
      if (!file_.Skip(size - kSsndHeaderBytes)) break;
    } else if (!file_.Skip(size)) {
      break;
    }
  }
  return sawComm_ && sawSsnd_;
}

bool AiffReader::ParseComm(uint64_t chunkSize) {
  if (aifc_ ? chunkSize < kAifcCommBytes : chunkSize != kAiffCommBytes) return false;
  const size_t want = aifc_ ? kAifcCommBytes : kAiffCommBytes;
  uint8_t comm[kAifcCommBytes];
  // Only the fixed fields matter; the compression name and anything after it are skipped.
  if (!file_.ReadExact(comm, want) || !file_.Skip(chunkSize - want)) return false;

  const int channels = static_cast<int16_t>(LoadBe16(comm));
  if (channels != 1 && channels != 2 && channels != 3 && channels != 4 && channels != 6) {
    return false;
  }
  const double rate = ExtendedToDouble(comm + 8);
  if (!UsableSampleRate(rate)) return false;

  fileChannels_ = channels;
  frameCount_ = LoadBe32(comm + 2);
  sampleSize_ = static_cast<int16_t>(LoadBe16(comm + 6));
  commRate_ = static_cast<int>(rate);
  kind_ = Kind::kPcm;
  littleEndian_ = false;
  if (!aifc_) return true;

  char type[5] = {};
  for (int i = 0; i < 4; ++i) {
    type[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(comm[18 + i])));
  }
  const std::string compression(type, 4);
  if (compression == "NONE" || compression == "TWOS" || compression == "IN24" ||
      compression == "IN32") {
    kind_ = Kind::kPcm;
  } else if (compression == "SOWT" || compression == "23NI") {
    kind_ = Kind::kPcm;
    littleEndian_ = true;
  } else if (compression == "ULAW") {
    kind_ = Kind::kMuLaw;
    sampleSize_ = 8;
  } else if (compression == "ALAW") {
    kind_ = Kind::kALaw;
    sampleSize_ = 8;
  } else if (compression == "FL32") {
    kind_ = Kind::kFloat32;
    sampleSize_ = 32;
  } else if (compression == "FL64") {
    kind_ = Kind::kFloat64;
    sampleSize_ = 64;
  } else if (compression == "IMA4") {
    if (channels != 2) return false;
    kind_ = Kind::kIma4;
    sampleSize_ = 4;
  } else if (compression == "RAW ") {
    kind_ = Kind::kRaw;
    sampleSize_ = 8;
  } else if (compression == "GSM ") {
    // A GSM frame holds 160 values: mono, or 80 interleaved stereo frames; no other layout.
    if (channels > 2) return false;
    kind_ = Kind::kGsm;
  } else if (compression == "DWVW") {
    if (sampleSize_ < DwvwDecoder::kMinBits || sampleSize_ > DwvwDecoder::kMaxBits) return false;
    kind_ = Kind::kDwvw;
  } else {
    return false;
  }
  return true;
}

bool AiffReader::SetUpReader() {
  int deliveredBits = 16;
  sampleBytes_ = 1;
  switch (kind_) {
    case Kind::kPcm:
      if (sampleSize_ < 1 || sampleSize_ > 32) return false;
      sampleBytes_ = static_cast<size_t>(sampleSize_ + 7) / 8;
      if (sampleBytes_ == 1) {
        deliveredBits = 8;
        convert_ = ConvertFrames<uint8_t, SignedByte>;
      } else if (sampleBytes_ == 2) {
        convert_ = littleEndian_ ? ConvertFrames<int16_t, Le16> : ConvertFrames<int16_t, Be16>;
      } else if (sampleBytes_ == 3) {
        convert_ = littleEndian_ ? ConvertFrames<int16_t, Le24> : ConvertFrames<int16_t, Be24>;
        wideConvert_ =
            littleEndian_ ? ConvertFrames<int32_t, Le24Wide> : ConvertFrames<int32_t, Be24Wide>;
        wideBits_ = 24;
      } else {
        convert_ = littleEndian_ ? ConvertFrames<int16_t, Le32> : ConvertFrames<int16_t, Be32>;
        wideConvert_ =
            littleEndian_ ? ConvertFrames<int32_t, Le32Wide> : ConvertFrames<int32_t, Be32Wide>;
        wideBits_ = 32;
      }
      break;
    case Kind::kMuLaw:
      convert_ = ConvertFrames<int16_t, MuLaw>;
      break;
    case Kind::kALaw:
      convert_ = ConvertFrames<int16_t, ALaw>;
      break;
    case Kind::kFloat32:
      sampleBytes_ = 4;
      convert_ = ConvertFrames<int16_t, Float32>;
      wideConvert_ = ConvertFrames<int32_t, Float32Wide>;
      wideBits_ = 24;
      break;
    case Kind::kFloat64:
      sampleBytes_ = 8;
      convert_ = ConvertFrames<int16_t, Float64>;
      wideConvert_ = ConvertFrames<int32_t, Float64Wide>;
      wideBits_ = 24;
      break;
    case Kind::kRaw:
      deliveredBits = 8;
      convert_ = ConvertFrames<uint8_t, UnsignedByte>;
      break;
    case Kind::kIma4:
    case Kind::kGsm:
    case Kind::kDwvw:
      break;
    case Kind::kNone:
      return false;
  }

  // The right channel follows the AIFF order: the second sample, or for six channels the
  // fourth (left, left centre, centre, right, right centre, surround).
  const size_t rightIndex = fileChannels_ == 6 ? 3 : 1;
  const size_t channels = static_cast<size_t>(fileChannels_);
  frameBytes_ = channels * sampleBytes_;
  rightOffset_ = rightIndex * sampleBytes_;

  // Bounded by six channels of eight bytes, whatever the header says.
  requestBytes_ = channels * BlockFrames * sampleBytes_;
  if (kind_ == Kind::kIma4) {
    requestBytes_ = channels * kIma4PacketBytes;
  } else if (kind_ == Kind::kGsm) {
    if (!gsm_.Create(false)) return false;
    requestBytes_ = GsmDecoder::kPlainFrameBytes;
  } else if (kind_ == Kind::kDwvw) {
    if (fileChannels_ > kMaxDwvwChannels || !dwvw_.Init(sampleSize_)) return false;
    dwvwValues_.assign(channels * BlockFrames, 0);
    requestBytes_ = 0;
    rightOffset_ = rightIndex;
    // The coder flushes with a few extra values, so the stored frame count (when known) is
    // what marks the end.
    dwvwFramesLeft_ = (frameCount_ == 0 || frameCount_ == 0xFFFFFFFFu)
                          ? std::numeric_limits<uint64_t>::max()
                          : frameCount_;
  }
  if (buffer_.size() < requestBytes_) buffer_.resize(requestBytes_);

  SetFormat(fileChannels_, deliveredBits, commRate_);
  return true;
}

size_t AiffReader::ReadSoundData(uint8_t* buffer, size_t size) {
  const size_t want = static_cast<size_t>(std::min<uint64_t>(size, remaining_));
  const size_t got = file_.Read(buffer, want);
  position_ += got;
  // A short read is the end of what the file holds.
  remaining_ = got < want ? 0 : remaining_ - want;
  return got;
}

size_t AiffReader::DwvwInput::ReadBytes(uint8_t* buffer, size_t size) {
  return reader_.ReadSoundData(buffer, size);
}

int AiffReader::Read(void* left, void* right) {
  if (left == nullptr || !file_.IsOpen()) return 0;
  if (outputChannels_ != 2) right = nullptr;
  return Delivered(ReadOfKind(left, right));
}

int AiffReader::ReadWide(int32_t* left, int32_t* right) {
  if (wideConvert_ == nullptr) return AudioSource::ReadWide(left, right);
  if (left == nullptr || !file_.IsOpen()) return 0;
  if (outputChannels_ != 2) right = nullptr;
  return Delivered(ReadFrames(left, right, wideConvert_));
}

int AiffReader::Delivered(int frames) {
  // The unit of the data: a coded packet of every channel, or one frame.
  const bool packets = kind_ == Kind::kIma4 || kind_ == Kind::kGsm;
  if (frames == 0) NoteMissingData(missingBytes_, packets ? requestBytes_ : frameBytes_);
  return frames;
}

int AiffReader::ReadOfKind(void* left, void* right) {
  switch (kind_) {
    case Kind::kIma4:
      return ReadIma4(left, right);
    case Kind::kGsm:
      return ReadGsm(left, right);
    case Kind::kDwvw:
      return ReadDwvw(left, right);
    case Kind::kNone:
      return 0;
    default:
      return ReadFrames(left, right, convert_);
  }
}

int AiffReader::ReadFrames(void* left, void* right, FrameConverter convert) {
  if (remaining_ == 0 || frameBytes_ == 0) return 0;
  const size_t got = ReadSoundData(buffer_.data(), requestBytes_);
  const int frames = static_cast<int>(got / frameBytes_);
  if (frames == 0) return 0;
  convert(buffer_.data(), frames, frameBytes_, rightOffset_, left, right);
  return frames;
}

int AiffReader::ReadIma4(void* left, void* right) {
  // A partial block at the end holds no whole packet per channel: the data ends there.
  if (remaining_ < requestBytes_) return 0;
  if (ReadSoundData(buffer_.data(), requestBytes_) != requestBytes_) return 0;
  int16_t scratch[kIma4PacketFrames];
  DecodeIma4Packet(buffer_.data(), static_cast<int16_t*>(left));
  DecodeIma4Packet(buffer_.data() + kIma4PacketBytes,
                   right != nullptr ? static_cast<int16_t*>(right) : scratch);
  return kIma4PacketFrames;
}

int AiffReader::ReadGsm(void* left, void* right) {
  if (remaining_ < requestBytes_) return 0;
  if (ReadSoundData(buffer_.data(), requestBytes_) != requestBytes_) return 0;
  if (!gsm_.DecodeFrame(buffer_.data(), gsmSamples_)) {
    remaining_ = 0;
    return 0;
  }
  int16_t* l = static_cast<int16_t*>(left);
  if (fileChannels_ == 1) {
    std::memcpy(l, gsmSamples_, sizeof gsmSamples_);
    return GsmDecoder::kFrameSamples;
  }
  int16_t* r = static_cast<int16_t*>(right);
  constexpr int kPairs = GsmDecoder::kFrameSamples / 2;
  for (int i = 0; i < kPairs; ++i) {
    l[i] = gsmSamples_[2 * i];
    if (r != nullptr) r[i] = gsmSamples_[2 * i + 1];
  }
  return kPairs;
}

int AiffReader::ReadDwvw(void* left, void* right) {
  if (dwvw_.Finished() || dwvwFramesLeft_ == 0) return 0;
  const uint64_t channels = static_cast<uint64_t>(fileChannels_);
  const uint64_t frames = std::min<uint64_t>(BlockFrames, dwvwFramesLeft_);
  DwvwInput input(*this);
  const int values = dwvw_.Decode(input, dwvwValues_.data(), static_cast<int>(frames * channels));
  const int got = values / fileChannels_;
  if (got <= 0) return 0;
  dwvwFramesLeft_ -= static_cast<uint64_t>(got);
  int16_t* l = static_cast<int16_t*>(left);
  int16_t* r = static_cast<int16_t*>(right);
  const int32_t* v = dwvwValues_.data();
  for (int i = 0; i < got; ++i, v += fileChannels_) {
    l[i] = static_cast<int16_t>(v[0] >> 16);
    if (r != nullptr) r[i] = static_cast<int16_t>(v[rightOffset_] >> 16);
  }
  return got;
}

}  // namespace sonorell
