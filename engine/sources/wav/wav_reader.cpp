#include "engine/sources/wav/wav_reader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "engine/sources/codecs/g711.h"
#include "engine/sources/codecs/ima_adpcm.h"
#include "engine/sources/codecs/pcm_to_16.h"

namespace sonorell {
namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagMsAdpcm = 2;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagALaw = 6;
constexpr uint16_t kTagMuLaw = 7;
constexpr uint16_t kTagImaAdpcm = 0x11;
constexpr uint16_t kTagGsm = 0x31;
constexpr uint16_t kTagExtensible = 0xFFFE;

constexpr int kMaxRawChannels = 8;
constexpr uint32_t kBaseFormatBytes = 16;
// Valid bits, channel mask and the sub-format identifier of WAVE_FORMAT_EXTENSIBLE.
constexpr uint16_t kExtensibleBytes = 22;
constexpr int kGsmBlockBytes = GsmDecoder::kWav49BlockBytes;
constexpr int kGsmBlockSamples = 2 * GsmDecoder::kFrameSamples;

bool IsLetter(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// value x mul / div without overflowing on the way (div > 0); saturates when the result
// itself does not fit.
uint64_t MulDiv(uint64_t value, uint64_t mul, uint64_t div) {
  const uint64_t whole = value / div;
  const uint64_t rest = value % div * mul / div;
  if (mul != 0 && whole > (UINT64_MAX - rest) / mul) return UINT64_MAX;
  return whole * mul + rest;
}

int ClampToInt(uint64_t value) {
  return value > static_cast<uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

// Splits interleaved stored samples into the left (first) and right (second) channels,
// whole frames only.
template <typename Out, typename Convert>
void Deinterleave(const uint8_t* raw, size_t frames, size_t frameBytes, size_t sampleBytes,
                  Out* left, Out* right, Convert convert) {
  for (size_t i = 0; i < frames; ++i) {
    const uint8_t* frame = raw + i * frameBytes;
    left[i] = convert(frame);
    if (right) right[i] = convert(frame + sampleBytes);
  }
}

}  // namespace

WavReader::~WavReader() {
  Close();
}

void WavReader::Close() {
  file_.Close();
  format_ = Format{};
  msAdpcm_ = MsAdpcmDecoder{};
  gsm_ = GsmDecoder{};
  storedBytesPerSample_ = 0;
  raw_ = {};
  decoded_ = {};
  decodedCount_ = 0;
  decodedIndex_ = 0;
  ended_ = false;
  ResetProperties();
}

bool WavReader::Open(const std::string& path, int /*renderingRate*/) {
  Close();
  if (!file_.Open(path) || !OpenChunks()) {
    Close();
    return false;
  }
  return true;
}

bool WavReader::OpenChunks() {
  uint8_t riff[12];
  if (!file_.ReadExact(riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0) {
    return false;
  }

  bool formatSeen = false;
  uint32_t dataSize = 0;
  for (;;) {
    uint8_t header[8];
    if (!file_.ReadExact(header, sizeof header)) return false;  // no data chunk
    const uint32_t size = LoadLe32(header + 4);
    if (std::memcmp(header, "data", 4) == 0) {
      dataSize = size;
      break;
    }
    if (std::memcmp(header, "fmt ", 4) == 0) {
      if (!ReadFormatChunk(size)) return false;
      formatSeen = true;
    } else if (!file_.Skip(size)) {
      return false;
    }
    if (!SkipToNextChunkId()) return false;
  }
  // Sample data before any format cannot be interpreted.
  if (!formatSeen) return false;

  if (dataSize != 0 && dataSize != 0xFFFFFFFF) {
    length_ = dataSize;
  } else {
    // Writers that stream (and never come back to fill in the size) leave 0 or all ones:
    // the data run to the end of the file.
    const uint64_t here = file_.Tell();
    length_ = file_.Size() > here ? file_.Size() - here : 0;
  }
  position_ = 0;

  const Format& f = format_;
  uint64_t frames = 0;
  switch (f.encoding) {
    case Encoding::kMsAdpcm:
    case Encoding::kImaAdpcm:
      frames = MulDiv(length_, f.samplesPerBlock, f.blockAlign);
      break;
    case Encoding::kGsm:
      frames = MulDiv(length_, kGsmBlockSamples, kGsmBlockBytes);
      break;
    default:
      frames = f.bitsPerSample > 0 ? MulDiv(length_, 8, f.bitsPerSample) / f.channels : 0;
  }
  duration_ = ClampToInt(frames / f.sampleRate);
  bitrate_ =
      duration_ > 0
          ? ClampToInt(length_ / (static_cast<uint64_t>(duration_) * 125))
          : ClampToInt(static_cast<uint64_t>(f.bitsPerSample) * f.channels * f.sampleRate / 1000);
  SetFormat(f.channels, f.deliveredBits, static_cast<int>(f.sampleRate));
  return SetUpDecoding();
}

bool WavReader::ReadFormatChunk(uint32_t chunkSize) {
  // Shorter than the base record: reading it would swallow the next chunk's header.
  if (chunkSize < kBaseFormatBytes) return false;
  uint8_t base[kBaseFormatBytes];
  if (!file_.ReadExact(base, sizeof base)) return false;
  Format f;
  f.tag = LoadLe16(base);
  f.channels = LoadLe16(base + 2);
  f.sampleRate = LoadLe32(base + 4);
  // base + 8: average bytes per second, not needed.
  f.blockAlign = LoadLe16(base + 12);
  f.bitsPerSample = LoadLe16(base + 14);

  // The extension must lie inside the chunk; whatever follows it is skipped.
  uint64_t remaining = chunkSize - kBaseFormatBytes;
  auto take = [&](void* out, size_t bytes) {
    if (bytes > remaining || !file_.ReadExact(out, bytes)) return false;
    remaining -= bytes;
    return true;
  };
  auto takeU16 = [&](uint16_t& value) {
    uint8_t b[2];
    if (!take(b, sizeof b)) return false;
    value = LoadLe16(b);
    return true;
  };

  // Later stages divide by the rate and keep it in 32 bits.
  if (!UsableSampleRate(static_cast<double>(f.sampleRate))) return false;
  const bool rawChannelsOk = f.channels >= 1 && f.channels <= kMaxRawChannels;

  auto pcmRules = [&] {
    if (!rawChannelsOk) return false;
    switch (f.bitsPerSample) {
      case 8:
        f.encoding = Encoding::kPcm8;
        f.deliveredBits = 8;
        return true;
      case 16:
        f.encoding = Encoding::kPcm16;
        return true;
      case 24:
        f.encoding = Encoding::kPcm24;
        return true;
      case 32:
        f.encoding = Encoding::kPcm32;
        return true;
      default:
        return false;
    }
  };
  auto floatRules = [&] {
    if (!rawChannelsOk) return false;
    if (f.bitsPerSample == 32) {
      f.encoding = Encoding::kFloat32;
    } else if (f.bitsPerSample == 64) {
      f.encoding = Encoding::kFloat64;
    } else {
      return false;
    }
    return true;
  };

  bool accepted = false;
  switch (f.tag) {
    case kTagPcm:
      accepted = pcmRules();
      break;
    case kTagFloat:
      accepted = floatRules();
      break;
    case kTagExtensible: {
      // The real encoding is the first word of the sub-format identifier.
      uint16_t extensionSize = 0;
      uint8_t extension[kExtensibleBytes];
      if (!takeU16(extensionSize) || extensionSize < kExtensibleBytes ||
          !take(extension, sizeof extension)) {
        return false;
      }
      const uint16_t subFormat = LoadLe16(extension + 6);
      if (subFormat == kTagPcm) {
        accepted = pcmRules();
      } else if (subFormat == kTagFloat) {
        accepted = floatRules();
      }
      break;
    }
    case kTagALaw:
    case kTagMuLaw:
      f.encoding = f.tag == kTagALaw ? Encoding::kALaw : Encoding::kMuLaw;
      accepted = rawChannelsOk;
      break;
    case kTagMsAdpcm: {
      uint16_t extensionSize = 0, pairCount = 0;
      if (!takeU16(extensionSize) || extensionSize <= 3 || !takeU16(f.samplesPerBlock) ||
          !takeU16(pairCount) || pairCount == 0) {
        return false;
      }
      std::vector<MsAdpcmCoefficientPair> pairs(pairCount);  // bounded by the 16-bit count
      for (MsAdpcmCoefficientPair& pair : pairs) {
        uint16_t first = 0, second = 0;
        if (!takeU16(first) || !takeU16(second)) return false;
        pair.first = static_cast<int16_t>(first);
        pair.second = static_cast<int16_t>(second);
      }
      f.encoding = Encoding::kMsAdpcm;
      accepted = msAdpcm_.Configure(f.channels, f.blockAlign, f.samplesPerBlock, std::move(pairs));
      break;
    }
    case kTagImaAdpcm: {
      uint16_t extensionSize = 0;
      if (!takeU16(extensionSize) || extensionSize < 2 || !takeU16(f.samplesPerBlock)) {
        return false;
      }
      f.encoding = Encoding::kImaAdpcm;
      // Each channel has a 4-byte header and then groups of 4 bytes (8 samples) in turn;
      // a sample count that disagrees with the block size cannot be decoded.
      const int ch = f.channels;
      accepted = (ch == 1 || ch == 2) && f.blockAlign >= 4 * ch && f.blockAlign % (4 * ch) == 0 &&
                 f.samplesPerBlock == 1 + (f.blockAlign - 4 * ch) * 2 / ch;
      break;
    }
    case kTagGsm: {
      uint16_t extensionSize = 0;
      f.encoding = Encoding::kGsm;
      accepted = f.channels == 1 && f.blockAlign == kGsmBlockBytes && takeU16(extensionSize) &&
                 extensionSize >= 2 && takeU16(f.samplesPerBlock) &&
                 f.samplesPerBlock == kGsmBlockSamples;
      break;
    }
    default:
      accepted = false;
  }
  if (!accepted || !file_.Skip(remaining)) return false;
  format_ = f;
  return true;
}

bool WavReader::SkipToNextChunkId() {
  // Swallows the pad byte after an odd-sized chunk and any other junk up to the next
  // identifier, which starts with a letter. The end of the file stops the scan.
  uint8_t buffer[256];
  for (;;) {
    const size_t got = file_.Read(buffer, sizeof buffer);
    if (got == 0) return false;
    for (size_t i = 0; i < got; ++i) {
      if (IsLetter(buffer[i])) return file_.Unread(got - i);
    }
  }
}

bool WavReader::IsBlockEncoding() const {
  return format_.encoding == Encoding::kMsAdpcm || format_.encoding == Encoding::kImaAdpcm ||
         format_.encoding == Encoding::kGsm;
}

bool WavReader::SetUpDecoding() {
  const Format& f = format_;
  switch (f.encoding) {
    case Encoding::kPcm8:
    case Encoding::kALaw:
    case Encoding::kMuLaw:
      storedBytesPerSample_ = 1;
      break;
    case Encoding::kPcm16:
      storedBytesPerSample_ = 2;
      break;
    case Encoding::kPcm24:
      storedBytesPerSample_ = 3;
      break;
    case Encoding::kPcm32:
    case Encoding::kFloat32:
      storedBytesPerSample_ = 4;
      break;
    case Encoding::kFloat64:
      storedBytesPerSample_ = 8;
      break;
    case Encoding::kMsAdpcm:
      raw_.resize(f.blockAlign);
      decoded_.resize(static_cast<size_t>(msAdpcm_.ValuesPerBlock()));
      return true;
    case Encoding::kImaAdpcm:
      raw_.resize(f.blockAlign);
      decoded_.resize(static_cast<size_t>(f.samplesPerBlock) * f.channels);
      return true;
    case Encoding::kGsm:
      raw_.resize(kGsmBlockBytes);
      decoded_.resize(kGsmBlockSamples);
      return gsm_.Create(true);
  }
  raw_.resize(static_cast<size_t>(storedBytesPerSample_) * f.channels * BlockFrames);
  return true;
}

int WavReader::Read(void* left, void* right) {
  if (!file_.IsOpen() || left == nullptr) return 0;
  if (outputChannels_ < 2) right = nullptr;
  if (IsBlockEncoding()) {
    return ReadBlocks(static_cast<int16_t*>(left), static_cast<int16_t*>(right));
  }
  return ReadRaw(left, right);
}

void WavReader::NoteShortRead(uint64_t requested, size_t got, size_t unitBytes) {
  if (got >= requested) return;
  // position_ already stands past the request; what the data size still promised is missing.
  NoteMissingData(length_ - (position_ - requested) - got, unitBytes);
}

size_t WavReader::ReadRawFrames() {
  if (position_ >= length_) return 0;
  const uint64_t request = std::min<uint64_t>(raw_.size(), length_ - position_);
  position_ += request;
  const size_t got = file_.Read(raw_.data(), static_cast<size_t>(request));
  // A trailing partial frame is dropped: its missing bytes are not in the file.
  const size_t frameBytes = static_cast<size_t>(storedBytesPerSample_) * format_.channels;
  NoteShortRead(request, got, frameBytes);
  return got / frameBytes;
}

int WavReader::GetWideBits() const {
  switch (format_.encoding) {
    case Encoding::kPcm24:
    case Encoding::kFloat32:
    case Encoding::kFloat64:
      return 24;
    case Encoding::kPcm32:
      return 32;
    default:
      return AudioSource::GetWideBits();
  }
}

int WavReader::ReadWide(int32_t* left, int32_t* right) {
  if (GetWideBits() <= 16) return AudioSource::ReadWide(left, right);
  if (!file_.IsOpen() || left == nullptr) return 0;
  if (outputChannels_ < 2) right = nullptr;
  const size_t frames = ReadRawFrames();
  if (frames == 0) return 0;
  const size_t sampleBytes = static_cast<size_t>(storedBytesPerSample_);
  const size_t frameBytes = sampleBytes * format_.channels;
  const uint8_t* raw = raw_.data();
  switch (format_.encoding) {
    case Encoding::kPcm24:
      Deinterleave(raw, frames, frameBytes, sampleBytes, left, right, LoadLe24);
      break;
    case Encoding::kPcm32:
      Deinterleave(raw, frames, frameBytes, sampleBytes, left, right,
                   [](const uint8_t* p) { return static_cast<int32_t>(LoadLe32(p)); });
      break;
    case Encoding::kFloat32:
      Deinterleave(raw, frames, frameBytes, sampleBytes, left, right,
                   [](const uint8_t* p) { return FloatToInt24(BitsToFloat(LoadLe32(p))); });
      break;
    case Encoding::kFloat64:
      Deinterleave(raw, frames, frameBytes, sampleBytes, left, right,
                   [](const uint8_t* p) { return FloatToInt24(BitsToDouble(LoadLe64(p))); });
      break;
    default:
      return 0;
  }
  return static_cast<int>(frames);
}

int WavReader::ReadRaw(void* left, void* right) {
  const size_t frames = ReadRawFrames();
  if (frames == 0) return 0;
  const size_t sampleBytes = static_cast<size_t>(storedBytesPerSample_);
  const size_t frameBytes = sampleBytes * format_.channels;

  const uint8_t* raw = raw_.data();
  auto* l16 = static_cast<int16_t*>(left);
  auto* r16 = static_cast<int16_t*>(right);
  switch (format_.encoding) {
    case Encoding::kPcm8:
      Deinterleave(raw, frames, frameBytes, sampleBytes, static_cast<uint8_t*>(left),
                   static_cast<uint8_t*>(right), [](const uint8_t* p) { return *p; });
      break;
    case Encoding::kPcm16:
      Deinterleave(raw, frames, frameBytes, sampleBytes, l16, r16,
                   [](const uint8_t* p) { return static_cast<int16_t>(LoadLe16(p)); });
      break;
    case Encoding::kPcm24:
      Deinterleave(raw, frames, frameBytes, sampleBytes, l16, r16,
                   [](const uint8_t* p) { return Int24ToInt16(LoadLe24(p)); });
      break;
    case Encoding::kPcm32:
      Deinterleave(raw, frames, frameBytes, sampleBytes, l16, r16, [](const uint8_t* p) {
        return Int32ToInt16(static_cast<int32_t>(LoadLe32(p)));
      });
      break;
    case Encoding::kFloat32:
      Deinterleave(raw, frames, frameBytes, sampleBytes, l16, r16,
                   [](const uint8_t* p) { return FloatToInt16(BitsToFloat(LoadLe32(p))); });
      break;
    case Encoding::kFloat64:
      Deinterleave(raw, frames, frameBytes, sampleBytes, l16, r16,
                   [](const uint8_t* p) { return FloatToInt16(BitsToDouble(LoadLe64(p))); });
      break;
    case Encoding::kALaw:
      Deinterleave(raw, frames, frameBytes, sampleBytes, l16, r16,
                   [](const uint8_t* p) { return ALawToLinear(*p); });
      break;
    case Encoding::kMuLaw:
      Deinterleave(raw, frames, frameBytes, sampleBytes, l16, r16,
                   [](const uint8_t* p) { return MuLawToLinear(*p); });
      break;
    default:
      return 0;
  }
  return static_cast<int>(frames);
}

int WavReader::ReadBlocks(int16_t* left, int16_t* right) {
  const bool stereo = outputChannels_ == 2;
  int frames = 0;
  auto deliver = [&] {
    while (frames < BlockFrames && decodedIndex_ < decodedCount_) {
      left[frames] = decoded_[decodedIndex_++];
      if (stereo) {
        const int16_t value = decoded_[decodedIndex_++];
        if (right) right[frames] = value;
      }
      ++frames;
    }
  };

  deliver();  // what the previous call left of its last block
  while (frames < BlockFrames && !ended_ && position_ < length_) {
    const uint64_t request = std::min<uint64_t>(raw_.size(), length_ - position_);
    position_ += request;
    // A trailing partial block cannot be decoded and is dropped; a block whose header
    // makes no sense ends the data too.
    const size_t got = file_.Read(raw_.data(), static_cast<size_t>(request));
    NoteShortRead(request, got, raw_.size());
    if (got < raw_.size() || !DecodeBlock()) {
      ended_ = true;
      break;
    }
    decodedIndex_ = 0;
    decodedCount_ = decoded_.size();
    deliver();
  }
  return frames;
}

bool WavReader::DecodeBlock() {
  switch (format_.encoding) {
    case Encoding::kMsAdpcm:
      return msAdpcm_.DecodeBlock(raw_.data(), decoded_.data());
    case Encoding::kImaAdpcm:
      DecodeImaBlock();
      return true;
    case Encoding::kGsm:
      return gsm_.DecodeWav49Block(raw_.data(), decoded_.data());
    default:
      return false;
  }
}

void WavReader::DecodeImaBlock() {
  const int ch = format_.channels;
  const uint8_t* block = raw_.data();
  int16_t* out = decoded_.data();
  ImaChannelState state[2];
  // Per channel: the first sample itself, the step index and a reserved byte.
  for (int c = 0; c < ch; ++c) {
    const uint8_t* header = block + 4 * c;
    state[c].predictor = static_cast<int16_t>(LoadLe16(header));
    state[c].stepIndex = ImaClampStepIndex(header[2]);
    out[c] = static_cast<int16_t>(state[c].predictor);
  }
  // Then 4 bytes (8 samples, low nibble first) of each channel in turn.
  const int groups = (format_.samplesPerBlock - 1) / 8;
  const uint8_t* data = block + 4 * ch;
  for (int g = 0; g < groups; ++g) {
    for (int c = 0; c < ch; ++c) {
      const uint8_t* bytes = data + (g * ch + c) * 4;
      for (int k = 0; k < 8; ++k) {
        const uint8_t byte = bytes[k / 2];
        const unsigned nibble = (k % 2 == 0) ? (byte & 0x0F) : (byte >> 4);
        out[(1 + g * 8 + k) * ch + c] = ImaExpandNibble(state[c], nibble);
      }
    }
  }
}

}  // namespace sonorell
