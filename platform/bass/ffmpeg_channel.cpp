#include "platform/bass/ffmpeg_channel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "platform/bass/file_bytes.h"
#include "platform/bass/mpeg_audio_start.h"
#include "platform/ffmpeg/mpeg_audio_header.h"

namespace platform::bass {
namespace {

using ffmpeg::SampleType;

// Bytes of the longest MPEG audio frame of a stated bit rate (layer II at 384 kbit/s and
// 32 kHz, padded): what is read of the first frame, and the slack of a byte count.
constexpr size_t kLongestMpegFrame = 1729;

// Float to 16-bit as FFmpeg's own sample conversion does it: rounded to the nearest value,
// full scale clipped.
int16_t FloatTo16(float x) {
  if (!(x == x)) return 0;
  x = std::clamp(x, -1.0f, 1.0f);
  const long v = std::lrintf(x * 32768.0f);
  return static_cast<int16_t>(std::clamp(v, -32768L, 32767L));
}

// The fields TAGS_Read asks for, under its own names, from FFmpeg's metadata.
std::map<std::string, std::string> TagsOf(const ffmpeg::Metadata& metadata) {
  const auto first = [&](std::initializer_list<const char*> keys) -> std::string {
    for (const char* key : keys) {
      const auto it = metadata.find(key);
      if (it != metadata.end() && !it->second.empty()) return it->second;
    }
    return {};
  };
  const std::pair<const char*, std::string> fields[] = {
      {"title", first({"title"})},         {"artist", first({"artist", "author"})},
      {"album", first({"album"})},         {"genre", first({"genre"})},
      {"year", first({"date", "year"})},   {"comment", first({"comment"})},
      {"track", first({"track"})},         {"composer", first({"composer"})},
      {"copyright", first({"copyright"})},
  };
  std::map<std::string, std::string> tags;
  for (const auto& [key, value] : fields) {
    if (!value.empty()) tags.emplace(key, value);
  }
  return tags;
}

}  // namespace

bool FfmpegChannel::Open(const std::string& path) {
  if (!decoder_.Open(path)) return false;
  const ffmpeg::MediaFile& file = decoder_.File();
  const int rate = decoder_.SampleRate();

  // Containers that only guess their length from the bit rate (raw AAC, MP3 without a VBR
  // header, ADX) are read through once, packet by packet, for the real count; those whose
  // packets are too long to count by (Musepack SV8) are decoded through once.
  std::optional<int64_t> frames = decoder_.ExpectedFrames();
  if (!frames) frames = ffmpeg::ScanAudioFrames(path, rate);
  if (!frames) frames = ffmpeg::CountDecodedFrames(path);
  if (!frames) frames = static_cast<int64_t>(file.DurationSeconds() * rate);
  lengthBytes_ = static_cast<uint64_t>(std::max<int64_t>(*frames, 0)) * FrameBytes();

  const int64_t size = file.FileSize();
  fileEnd_ = size > 0 ? size : -1;
  fileStart_ = decoder_.FirstPacketPosition();
  if (file.FormatName() == "mp3") {
    if (const auto start = MpegAudioStart(path, size)) fileStart_ = *start;
  }
  tags_ = TagsOf(file.Tags());
  if (file.FormatName() == "mp3" && fileStart_ >= 0 && size > 0) {
    // The encoder's Xing or Info frame counts the stream's bytes: a file with fewer was cut.
    const auto frame = ReadFileRange(path, static_cast<uint64_t>(fileStart_), kLongestMpegFrame);
    const std::optional<uint32_t> stated = frame ? ffmpeg::XingStreamBytes(*frame) : std::nullopt;
    const auto present = static_cast<uint64_t>(size - fileStart_);
    shortOfStatedBytes_ = stated && present + kLongestMpegFrame < *stated;
  }
  return true;
}

uint32_t FfmpegChannel::Rate() const {
  return static_cast<uint32_t>(decoder_.SampleRate());
}

uint32_t FfmpegChannel::Channels() const {
  return static_cast<uint32_t>(decoder_.Channels());
}

bool FfmpegChannel::EightBit() const {
  return decoder_.Type() == SampleType::kU8;
}

size_t FfmpegChannel::FrameBytes() const {
  return static_cast<size_t>(decoder_.Channels()) * (EightBit() ? 1 : 2);
}

int64_t FfmpegChannel::GetData(void* buffer, size_t size) {
  if (buffer == nullptr || !decoder_.IsOpen()) return -1;
  if (ended_ && pending_.frames == 0) return -1;
  const size_t frameBytes = FrameBytes();
  const size_t wanted = size / frameBytes;
  const size_t channels = static_cast<size_t>(decoder_.Channels());
  const SampleType type = decoder_.Type();
  const size_t inFrameBytes = channels * static_cast<size_t>(ffmpeg::BytesPerSample(type));
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < wanted) {
    if (pending_.frames == 0) {
      pending_ = decoder_.Next();
      if (pending_.frames == 0) {
        ended_ = true;
        break;
      }
    }
    const size_t n = std::min(pending_.frames, wanted - done);
    const size_t samples = n * channels;
    uint8_t* target = out + done * frameBytes;
    switch (type) {
      case SampleType::kU8:
      case SampleType::kS16:
        std::memcpy(target, pending_.data, n * frameBytes);
        break;
      case SampleType::kS32:
        for (size_t i = 0; i < samples; ++i) {
          int32_t s;
          std::memcpy(&s, pending_.data + 4 * i, 4);
          const auto v = static_cast<int16_t>(s >> 16);
          std::memcpy(target + 2 * i, &v, 2);
        }
        break;
      case SampleType::kFloat:
        for (size_t i = 0; i < samples; ++i) {
          float s;
          std::memcpy(&s, pending_.data + 4 * i, 4);
          const int16_t v = FloatTo16(s);
          std::memcpy(target + 2 * i, &v, 2);
        }
        break;
    }
    pending_.data += n * inFrameBytes;
    pending_.frames -= n;
    done += n;
  }
  if (done == 0 && ended_) return -1;
  positionBytes_ += done * frameBytes;
  return static_cast<int64_t>(done * frameBytes);
}

std::unique_ptr<Channel> OpenFfmpegChannel(const std::string& path) {
  auto channel = std::make_unique<FfmpegChannel>();
  if (!channel->Open(path)) return nullptr;
  return channel;
}

}  // namespace platform::bass
