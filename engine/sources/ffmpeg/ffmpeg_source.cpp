#include "engine/sources/ffmpeg/ffmpeg_source.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <initializer_list>

#include "engine/sources/codecs/pcm_to_16.h"
#include "engine/sources/ffmpeg/ffmpeg_properties.h"
#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

using platform::ffmpeg::SampleType;

// Takes the first sample of each frame for the left buffer and the second for the right.
template <typename Sample, typename Out, typename Convert>
void Split(const uint8_t* in, int frames, int channels, Out* left, Out* right, Convert convert) {
  const auto* samples = reinterpret_cast<const Sample*>(in);
  const size_t step = static_cast<size_t>(channels);
  for (int f = 0; f < frames; ++f, samples += step) {
    Sample s;
    std::memcpy(&s, samples, sizeof s);
    left[f] = convert(s);
    if (right != nullptr) {
      std::memcpy(&s, samples + 1, sizeof s);
      right[f] = convert(s);
    }
  }
}

// The leading decimal number of a text such as "2004-05-01" or "3/12"; 0 when none.
long LeadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  long value = 0;
  bool any = false;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value > 99'999'999) return 0;  // no year or track number is this long
    value = value * 10 + (text[i] - '0');
    any = true;
  }
  return any ? value : 0;
}

}  // namespace

FfmpegSource::~FfmpegSource() {
  Close();
}

void FfmpegSource::Close() {
  decoder_.Close();
  type_ = SampleType::kS16;
  wideBits_ = 16;
  pending_ = {};
  frameBytes_ = 0;
  ResetProperties();
}

bool FfmpegSource::Open(const std::string& path, int /*renderingRate*/) {
  Close();
  if (!decoder_.Open(path) || !UsableSampleRate(decoder_.SampleRate()) ||
      ffmpeg_properties::TooLongToSynthesise(decoder_.File())) {
    Close();
    return false;
  }
  const platform::ffmpeg::MediaFile& file = decoder_.File();
  type_ = decoder_.Type();
  if (type_ == SampleType::kS32) {
    // 32-bit integers carry their significant bits at the top; 0 means all of them.
    const int raw = decoder_.BitsPerRawSample();
    wideBits_ = raw > 16 ? std::min(raw, 32) : (raw == 0 ? 32 : 16);
  }
  SetFormat(decoder_.Channels(), type_ == SampleType::kU8 ? 8 : 16, decoder_.SampleRate());
  channelMode_ = channels_ < 2 ? 3 : 0;
  frameBytes_ =
      static_cast<size_t>(channels_) * static_cast<size_t>(platform::ffmpeg::BytesPerSample(type_));
  length_ = static_cast<uint64_t>(file.FileSize());
  position_ = static_cast<uint64_t>(file.BytePosition());
  duration_ = ffmpeg_properties::DurationSeconds(file);
  bitrate_ = ffmpeg_properties::BitrateKbps(file);
  return true;
}

void FfmpegSource::Deliver(int frames, void* left, void* right, int at) {
  const uint8_t* in = pending_.data;
  const int ch = channels_;
  if (type_ == SampleType::kU8) {
    auto* l = static_cast<uint8_t*>(left) + at;
    auto* r = right != nullptr ? static_cast<uint8_t*>(right) + at : nullptr;
    Split<uint8_t>(in, frames, ch, l, r, [](uint8_t s) { return s; });
    return;
  }
  auto* l = static_cast<int16_t*>(left) + at;
  auto* r = right != nullptr ? static_cast<int16_t*>(right) + at : nullptr;
  switch (type_) {
    case SampleType::kS16:
      Split<int16_t>(in, frames, ch, l, r, [](int16_t s) { return s; });
      break;
    case SampleType::kS32:
      Split<int32_t>(in, frames, ch, l, r, [](int32_t s) { return Int32ToInt16(s); });
      break;
    case SampleType::kFloat:
      Split<float>(in, frames, ch, l, r, [](float s) { return FloatToInt16(s); });
      break;
    case SampleType::kU8:
      break;
  }
}

void FfmpegSource::DeliverWide(int frames, int32_t* left, int32_t* right, int at) {
  const int shift = 32 - wideBits_;
  Split<int32_t>(pending_.data, frames, channels_, left + at,
                 right != nullptr ? right + at : nullptr,
                 [shift](int32_t s) { return s >> shift; });
}

template <typename DeliverRun>
int FfmpegSource::Fill(DeliverRun deliver) {
  int count = 0;
  // What the last decoder frame left over goes first; a new frame is decoded only when
  // nothing is pending.
  while (count < BlockFrames) {
    if (pending_.frames == 0) {
      pending_ = decoder_.Next();
      if (pending_.frames == 0) break;
    }
    const int n = static_cast<int>(
        std::min<size_t>(pending_.frames, static_cast<size_t>(BlockFrames - count)));
    deliver(n, count);
    pending_.data += static_cast<size_t>(n) * frameBytes_;
    pending_.frames -= static_cast<size_t>(n);
    count += n;
  }
  if (count == 0 && decoder_.BrokeOff()) dataEnd_ = DataEnd::kBrokenOff;
  // Demuxers may jump back in the file (to an index, between interleaved chunks); progress
  // never goes back and never passes the end.
  uint64_t position = static_cast<uint64_t>(decoder_.File().BytePosition());
  if (length_ > 0) position = std::min(position, length_);
  position_ = std::max(position_, position);
  return count;
}

int FfmpegSource::Read(void* left, void* right) {
  if (!decoder_.IsOpen() || left == nullptr) return 0;
  if (outputChannels_ < 2) right = nullptr;
  return Fill([&](int n, int at) { Deliver(n, left, right, at); });
}

int FfmpegSource::ReadWide(int32_t* left, int32_t* right) {
  if (wideBits_ <= 16) return AudioSource::ReadWide(left, right);
  if (!decoder_.IsOpen() || left == nullptr) return 0;
  if (outputChannels_ < 2) right = nullptr;
  return Fill([&](int n, int at) { DeliverWide(n, left, right, at); });
}

bool FfmpegSource::ReadTags(std::string& title, std::string& artist, std::string& album,
                            std::string& year, std::string& genre, std::string& comment,
                            std::string& track, std::string& composer, std::string& copyright) {
  if (!decoder_.IsOpen()) return false;
  const platform::ffmpeg::Metadata tags = decoder_.File().Tags();
  const auto raw = [&](std::initializer_list<const char*> keys) -> std::string {
    for (const char* key : keys) {
      const auto it = tags.find(key);
      if (it != tags.end() && !it->second.empty()) return it->second;
    }
    return {};
  };
  // A character the locale cannot hold becomes a replacement character; the rest stays.
  bool replaced = false;
  const auto text = [&](std::initializer_list<const char*> keys) {
    platform::ReplacedText local = platform::Utf8ToAnsiReplacing(raw(keys));
    replaced = replaced || local.replaced;
    return std::move(local.text);
  };
  const std::string t = text({"title"});
  const std::string a = text({"artist", "author"});
  const std::string al = text({"album"});
  const std::string g = text({"genre"});
  const std::string c = text({"comment"});
  const std::string cr = text({"copyright"});
  const long y = LeadingNumber(raw({"date", "year"}));
  const long tr = LeadingNumber(raw({"track"}));
  if (t.empty() && a.empty() && al.empty() && g.empty() && c.empty() && cr.empty() && y <= 0 &&
      tr <= 0) {
    return false;
  }
  tagTextReplaced_ = replaced;
  title = t;
  artist = a;
  album = al;
  year = y > 0 ? std::to_string(y) : std::string();
  genre = g;
  comment = c;
  track = tr > 0 ? std::to_string(tr) : std::string();
  composer.clear();
  copyright = cr;
  return true;
}

}  // namespace sonorell
