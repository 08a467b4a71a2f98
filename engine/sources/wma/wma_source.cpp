#include "engine/sources/wma/wma_source.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>

#include "platform/text/text_conversion.h"
#include "platform/wmf/wm_runtime.h"

namespace sonorell {
namespace {

namespace wm = platform::wm;

constexpr uint64_t kHundredNsPerSecond = 10'000'000;

uint64_t LittleEndian(const std::vector<uint8_t>& bytes, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n && i < bytes.size(); ++i)
    v |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  return v;
}

// A string attribute's UTF-16LE bytes as locale text: the terminator (and an odd last
// byte) dropped; characters the code page cannot hold, and unpaired surrogates, become
// replacement characters.
platform::ReplacedText LocaleText(const std::vector<uint8_t>& bytes) {
  size_t units = bytes.size() / 2;
  const auto unitAt = [&](size_t i) { return bytes[2 * i] | (bytes[2 * i + 1] << 8); };
  for (size_t i = 0; i < units; ++i) {
    if (unitAt(i) == 0) {
      units = i;
      break;
    }
  }
  const std::optional<std::string> utf8 = platform::Utf16BytesToUtf8(
      std::span<const uint8_t>(bytes.data(), units * 2), platform::Utf16Order::kLittleEndian);
  if (!utf8) return {"?", true};
  return platform::Utf8ToAnsiReplacing(*utf8);
}

// The leading decimal digits of a text ("7", "7/12"), 0 without any.
uint32_t DecimalValue(const std::string& text) {
  uint64_t value = 0;
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > std::numeric_limits<uint32_t>::max()) return 0;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace

WmaSource::WmaSource() : pending_(kInitialPendingBytes) {}

WmaSource::~WmaSource() {
  Close();
}

void WmaSource::Close() {
  if (reader_ && opened_) reader_->Close();
  reader_.reset();
  opened_ = false;
  streamNumber_ = 0;
  outputNumber_ = 0;
  readerChannels_ = 0;
  title_.clear();
  author_.clear();
  description_.clear();
  album_.clear();
  genre_.clear();
  year_.clear();
  copyright_.clear();
  composer_.clear();
  trackNumber_ = 0;
  readIndex_ = 0;
  pendingFrames_ = 0;
  ResetProperties();
}

bool WmaSource::Open(const std::string& path, int /*renderingRate*/) {
  Close();
  if (OpenReader(path) && SelectAudioStream() && ReadAttributes() && FindAudioOutput()) {
    readIndex_ = 0;
    pendingFrames_ = 0;
    return true;
  }
  Close();
  return false;
}

bool WmaSource::OpenReader(const std::string& path) {
  const platform::WmEntryPoints& runtime = platform::WmRuntime();
  if (runtime.WMCreateSyncReader == nullptr) return false;
  if (wm::FAILED(runtime.WMCreateSyncReader(&reader_)) || !reader_) return false;
  if (wm::FAILED(reader_->Open(path))) return false;
  opened_ = true;
  return true;
}

bool WmaSource::SelectAudioStream() {
  uint32_t count = 0;
  if (wm::FAILED(reader_->GetStreamCount(&count))) return false;
  for (uint32_t i = 0; i < count; ++i) {
    wm::MajorType type = wm::MajorType::kNone;
    uint16_t number = 0;
    if (wm::FAILED(reader_->GetStream(i, &type, &number))) return false;
    if (type == wm::MajorType::kAudio) {
      streamNumber_ = number;
      break;
    }
  }
  if (streamNumber_ == 0) return false;  // no audio stream (or none with a number)
  // Only the audio is fetched, decoded: a video's pictures are never decompressed.
  return wm::SUCCEEDED(reader_->SetStreamsSelected(streamNumber_, true)) &&
         wm::SUCCEEDED(reader_->SetReadStreamSamples(streamNumber_, false));
}

bool WmaSource::Attribute(std::u16string_view name, wm::WMT_ATTR_DATATYPE& type,
                          std::vector<uint8_t>& bytes) const {
  bytes.clear();
  uint16_t stream = 0;
  uint16_t length = 0;
  wm::HRESULT hr = reader_->GetAttributeByName(&stream, name, &type, nullptr, &length);
  if (hr == wm::ASF_E_NOTFOUND) return true;
  if (wm::FAILED(hr)) return false;
  bytes.resize(length);
  hr = reader_->GetAttributeByName(&stream, name, &type, bytes.data(), &length);
  if (hr == wm::ASF_E_NOTFOUND) {
    bytes.clear();
    return true;
  }
  if (wm::FAILED(hr)) return false;
  bytes.resize(length);
  return true;
}

bool WmaSource::TextAttribute(std::u16string_view name, std::string& text) {
  wm::WMT_ATTR_DATATYPE type = wm::WMT_TYPE_STRING;
  std::vector<uint8_t> bytes;
  if (!Attribute(name, type, bytes)) return false;
  text.clear();
  if (type == wm::WMT_TYPE_STRING) {
    platform::ReplacedText local = LocaleText(bytes);
    text = std::move(local.text);
    tagTextReplaced_ = tagTextReplaced_ || local.replaced;
  }
  return true;
}

bool WmaSource::ReadAttributes() {
  position_ = 0;
  if (!TextAttribute(u"Title", title_) || !TextAttribute(u"Author", author_) ||
      !TextAttribute(u"Description", description_) || !TextAttribute(u"WM/AlbumTitle", album_) ||
      !TextAttribute(u"WM/Genre", genre_)) {
    return false;
  }
  wm::WMT_ATTR_DATATYPE type = wm::WMT_TYPE_STRING;
  std::vector<uint8_t> bytes;
  if (!Attribute(u"WM/TrackNumber", type, bytes)) return false;
  trackNumber_ = 0;
  if (!bytes.empty()) {
    if (type == wm::WMT_TYPE_DWORD || type == wm::WMT_TYPE_WORD || type == wm::WMT_TYPE_QWORD) {
      trackNumber_ = static_cast<uint32_t>(LittleEndian(bytes, 4));
    } else if (type == wm::WMT_TYPE_STRING) {
      trackNumber_ = DecimalValue(LocaleText(bytes).text);
    }
  }
  if (!TextAttribute(u"WM/Year", year_) || !TextAttribute(u"Copyright", copyright_) ||
      !TextAttribute(u"WM/Composer", composer_)) {
    return false;
  }
  if (!Attribute(u"Duration", type, bytes)) return false;
  if (type == wm::WMT_TYPE_QWORD && bytes.size() == 8) {
    length_ = LittleEndian(bytes, 8);
    const uint64_t seconds = length_ / kHundredNsPerSecond;
    duration_ = static_cast<int>(std::min<uint64_t>(seconds, std::numeric_limits<int>::max()));
  }
  if (!Attribute(u"Bitrate", type, bytes)) return false;
  if (!bytes.empty()) bitrate_ = static_cast<int>(LittleEndian(bytes, 4) / 1000);
  return true;
}

bool WmaSource::FindAudioOutput() {
  uint32_t outputs = 0;
  if (wm::FAILED(reader_->GetOutputCount(&outputs))) return false;
  for (uint32_t i = 0; i < outputs; ++i) {
    wm::WM_MEDIA_TYPE type;
    if (wm::FAILED(reader_->GetOutputProps(i, &type))) return false;
    if (type.majortype != wm::MajorType::kAudio) continue;
    const wm::WAVEFORMATEX& w = type.wave;
    if (!type.hasWaveFormat || w.nChannels == 0 || !UsableSampleRate(w.nSamplesPerSec)) {
      return false;
    }
    outputNumber_ = i;
    readerChannels_ = w.nChannels;
    SetFormat(w.nChannels, 16, static_cast<int>(w.nSamplesPerSec));
    return true;
  }
  return false;
}

int WmaSource::Deliver(int16_t* left, int16_t* right, int at) {
  const auto* values = reinterpret_cast<const uint8_t*>(pending_.data());
  const auto valueAt = [&](size_t i) {
    int16_t v;
    std::memcpy(&v, values + 2 * i, 2);
    return v;
  };
  const auto step = static_cast<size_t>(readerChannels_);
  while (at < BlockFrames && pendingFrames_ > 0) {
    left[at] = valueAt(readIndex_);
    if (outputChannels_ == 2) right[at] = valueAt(readIndex_ + 1);
    readIndex_ += step;
    --pendingFrames_;
    ++at;
  }
  return at;
}

int WmaSource::Read(void* left, void* right) {
  if (!opened_ || left == nullptr || (outputChannels_ == 2 && right == nullptr)) return 0;
  auto* l = static_cast<int16_t*>(left);
  auto* r = static_cast<int16_t*>(right);
  int delivered = Deliver(l, r, 0);
  while (delivered < BlockFrames) {
    std::unique_ptr<wm::SampleBuffer> sample;
    uint64_t time = 0;
    uint64_t sampleDuration = 0;
    uint32_t flags = 0;
    uint32_t output = 0;
    uint16_t stream = 0;
    if (wm::FAILED(reader_->GetNextSample(streamNumber_, &sample, &time, &sampleDuration, &flags,
                                          &output, &stream)) ||
        !sample) {
      break;  // the end of the stream, or a failure that ends the data
    }
    position_ = time;
    const uint32_t length = sample->Length();
    if (length > pending_.size()) {
      const size_t grown = length + length / 8;
      pending_.assign((grown & ~static_cast<size_t>(3)) + 4, 0);
    }
    std::memcpy(pending_.data(), sample->Buffer(), length);
    readIndex_ = 0;
    pendingFrames_ = length / (2 * static_cast<size_t>(readerChannels_));
    delivered = Deliver(l, r, delivered);
  }
  return delivered;
}

bool WmaSource::ReadTags(std::string& title, std::string& artist, std::string& album,
                         std::string& year, std::string& genre, std::string& comment,
                         std::string& track, std::string& composer, std::string& copyright) {
  title = title_;
  artist = author_;
  album = album_;
  year = year_;
  genre = genre_;
  comment = description_;
  track = std::to_string(trackNumber_);
  composer = composer_;
  copyright = copyright_;
  return true;
}

}  // namespace sonorell
