#include "engine/sources/bass/bass_source.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/sources/input_file.h"
#include "platform/bass/bass.h"
#include "platform/desktop/program_folder.h"
#include "platform/ffmpeg/mpeg_audio_header.h"
#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

using platform::DWORD;
using platform::QWORD;

constexpr DWORD kMusicFlags =
    platform::BASS_STREAM_DECODE | platform::BASS_MUSIC_PRESCAN | platform::BASS_MUSIC_RAMP;
constexpr QWORD kNoPosition = static_cast<QWORD>(-1);
constexpr DWORD kNoData = static_cast<DWORD>(-1);
constexpr char kTagFormat[] = "%TRCK\n%TITL\n%ARTI\n%ALBM\n%GNRE\n%YEAR\n%CMNT\n%COMP\n%COPY";

constexpr const char* kPluginFiles[] = {
    "basscd.dll",    "bassflac.dll", "basswma.dll",  "basswv.dll",   "bass_aac.dll", "bass_adx.dll",
    "bass_alac.dll", "bass_ape.dll", "bass_mpc.dll", "bass_spx.dll", "bass_tta.dll",
};

int ClampToInt(double value) {
  if (!(value >= 0)) return 0;
  return value >= INT_MAX ? INT_MAX : static_cast<int>(value);
}

}  // namespace

BassSource::~BassSource() {
  Close();
  path_.clear();
}

int BassSource::SamplesPerRequest(int channels) {
  return channels < 1 ? 0 : (2 * BlockFrames / channels) * channels;
}

BassSource::Kind BassSource::KindFromPath(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return Kind::kGeneral;
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".mp3") return Kind::kMp3;
  if (ext == ".midi" || ext == ".mid" || ext == ".rmi" || ext == ".kar") return Kind::kMidi;
  return Kind::kGeneral;
}

void BassSource::Close() {
  if (handle_ != 0) {
    if (kind_ == Kind::kModule) {
      platform::BASS_MusicFree(handle_);
    } else {
      platform::BASS_StreamFree(handle_);
    }
    handle_ = 0;
  }
  buffer_ = {};
  id3v1_.reset();
  id3v2_ = {};
  kind_ = Kind::kGeneral;
  ResetProperties();
}

bool BassSource::Open(const std::string& path, int renderingRate) {
  Close();
  const DWORD rate = static_cast<DWORD>(std::max(renderingRate, 0));
  kind_ = KindFromPath(path);
  if (kind_ == Kind::kMidi) {
    handle_ = platform::BASS_MIDI_StreamCreateFile(FALSE, path.c_str(), 0, 0,
                                                   platform::BASS_STREAM_DECODE, rate);
  } else {
    handle_ =
        platform::BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, platform::BASS_STREAM_DECODE);
    if (handle_ == 0) {
      handle_ = platform::BASS_MusicLoad(FALSE, path.c_str(), 0, 0, kMusicFlags, rate);
      if (handle_ != 0) kind_ = Kind::kModule;
    }
  }
  if (handle_ == 0) {
    Close();
    return false;
  }

  const QWORD length = platform::BASS_ChannelGetLength(handle_, platform::BASS_POS_BYTE);
  platform::BASS_CHANNELINFO info{};
  // A length the library cannot tell is as unusable as an empty one.
  if (length == 0 || length == kNoPosition || !platform::BASS_ChannelGetInfo(handle_, &info) ||
      SamplesPerRequest(static_cast<int>(std::min<DWORD>(info.chans, INT_MAX))) == 0 ||
      !UsableSampleRate(info.freq)) {
    Close();
    return false;
  }
  length_ = length;
  const double seconds = platform::BASS_ChannelBytes2Seconds(handle_, length);
  duration_ = ClampToInt(seconds);
  SetFormat(static_cast<int>(info.chans), (info.flags & platform::BASS_SAMPLE_8BITS) ? 8 : 16,
            static_cast<int>(info.freq));

  if (kind_ == Kind::kMp3) ReadChannelMode(path);

  const QWORD end = platform::BASS_StreamGetFilePosition(handle_, platform::BASS_FILEPOS_END);
  if (seconds > 0 && end != kNoPosition) {
    bitrate_ = ClampToInt(static_cast<double>(end) / (seconds * 125) + 0.5);
  } else {
    bitrate_ = ClampToInt(static_cast<double>(bitsPerSample_) * sampleRate_ * channels_ / 1000);
  }

  buffer_.resize(static_cast<size_t>(bytesPerSample_) * SamplesPerRequest(channels_));
  path_ = path;
  return true;
}

void BassSource::ReadChannelMode(const std::string& path) {
  const QWORD start = platform::BASS_StreamGetFilePosition(handle_, platform::BASS_FILEPOS_START);
  if (start == kNoPosition) return;
  InputFile file;
  uint8_t header[4];
  if (!file.Open(path) || !file.Seek(start) || !file.ReadExact(header, sizeof header)) return;
  if (const auto frame = platform::ffmpeg::ParseMpegAudioHeader(header)) {
    channelMode_ = frame->channelMode;
  }
}

int BassSource::Read(void* left, void* right) {
  if (handle_ == 0 || !left) return 0;
  if (channels_ < 2) {
    const DWORD got = platform::BASS_ChannelGetData(
        handle_, left, static_cast<DWORD>(bytesPerSample_ * BlockFrames));
    if (got == kNoData) return Ended();
    return static_cast<int>(got / static_cast<DWORD>(bytesPerSample_));
  }
  const DWORD got =
      platform::BASS_ChannelGetData(handle_, buffer_.data(), static_cast<DWORD>(buffer_.size()));
  if (got == kNoData) return Ended();
  const auto frames = static_cast<int>(got / static_cast<DWORD>(bytesPerSample_ * channels_));
  const auto step = static_cast<size_t>(channels_);
  if (bitsPerSample_ == 8) {
    auto* l = static_cast<uint8_t*>(left);
    auto* r = static_cast<uint8_t*>(right);
    for (int f = 0; f < frames; ++f) {
      l[f] = buffer_[static_cast<size_t>(f) * step];
      if (r) r[f] = buffer_[static_cast<size_t>(f) * step + 1];
    }
  } else {
    auto* l = static_cast<int16_t*>(left);
    auto* r = static_cast<int16_t*>(right);
    for (int f = 0; f < frames; ++f) {
      const uint8_t* frame = buffer_.data() + static_cast<size_t>(f) * step * 2;
      std::memcpy(&l[f], frame, 2);
      if (r) std::memcpy(&r[f], frame + 2, 2);
    }
  }
  return frames;
}

int BassSource::Ended() {
  if (platform::BASS_ErrorGetCode() == platform::BASS_ERROR_FILEFORM)
    dataEnd_ = DataEnd::kBrokenOff;
  return 0;
}

uint64_t BassSource::GetPosition() const {
  if (handle_ == 0) return 0;
  const QWORD position = platform::BASS_ChannelGetPosition(handle_, platform::BASS_POS_BYTE);
  return position == kNoPosition ? 0 : position;
}

const uint8_t* BassSource::GetId3v1Tag() const {
  if (kind_ != Kind::kMp3 || handle_ == 0) return nullptr;
  if (!id3v1_) {
    const char* tag = platform::BASS_ChannelGetTags(handle_, platform::BASS_TAG_ID3);
    if (!tag) return nullptr;
    id3v1_.emplace();
    std::memcpy(id3v1_->data(), tag, id3v1_->size());
  }
  return id3v1_->data();
}

const uint8_t* BassSource::GetId3v2Tag(size_t& size) const {
  size = 0;
  if (kind_ != Kind::kMp3 || handle_ == 0) return nullptr;
  if (id3v2_.empty()) {
    const char* tag = platform::BASS_ChannelGetTags(handle_, platform::BASS_TAG_ID3V2);
    if (!tag) return nullptr;
    const auto* h = reinterpret_cast<const uint8_t*>(tag);
    uint64_t declared = 10 + ((static_cast<uint64_t>(h[6] & 0x7F) << 21) |
                              (static_cast<uint64_t>(h[7] & 0x7F) << 14) |
                              (static_cast<uint64_t>(h[8] & 0x7F) << 7) | (h[9] & 0x7F));
    // Never copy more than the file holds, whatever the header claims.
    std::error_code ec;
    const uintmax_t fileSize = std::filesystem::file_size(path_, ec);
    if (ec) return nullptr;
    declared = std::min<uint64_t>(declared, fileSize);
    id3v2_.assign(h, h + declared);
  }
  size = id3v2_.size();
  return id3v2_.data();
}

bool BassSource::ReadTags(std::string& title, std::string& artist, std::string& album,
                          std::string& year, std::string& genre, std::string& comment,
                          std::string& track, std::string& composer, std::string& copyright) {
  if (handle_ == 0) return false;
  const char* raw = platform::TAGS_Read(handle_, kTagFormat);
  if (!raw || !*raw) return false;
  // This TAGS hands out UTF-8 for every kind of file, ID3 included, so every kind is
  // converted; a character the code page cannot hold costs that character, not the record.
  platform::ReplacedText converted = platform::Utf8ToAnsiReplacing(raw);
  tagTextReplaced_ = converted.replaced;
  const std::string text = std::move(converted.text);
  std::string* fields[] = {&track, &title, &artist, &album, &genre, &year, &comment, &composer};
  size_t begin = 0;
  for (std::string* field : fields) {
    const size_t brk = text.find('\n', begin);
    if (brk == std::string::npos) return true;
    field->assign(text, begin, brk - begin);
    begin = brk + 1;
  }
  copyright.assign(text, begin, std::string::npos);
  return true;
}

int LoadBassPlugins() {
  const std::string folder = platform::ProgramFolder();
  if (folder.empty()) return 0;
  int loaded = 0;
  for (const char* name : kPluginFiles) {
    const std::string path = folder + "addons/" + name;
    if (platform::BASS_PluginLoad(path.c_str(), 0) != 0) ++loaded;
  }
  return loaded;
}

}  // namespace sonorell
