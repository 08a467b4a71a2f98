#include "platform/mp4/mp4_wrapper.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ffmpeg/metadata_text.h"
#include "platform/ffmpeg/owned_dictionary.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/packet.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

namespace platform {
namespace {

// The demuxer FFmpeg uses for every MP4-family file (MP4, M4A, M4B, 3GP, QuickTime).
constexpr const char* kMovDemuxerName = "mov,mp4,m4a,3gp,3g2,mj2";
constexpr MP4TrackId kAudioTrackId = 1;
// iTunes' media kind "Audiobook" (the stik atom), which players use to file M4B books.
constexpr const char* kAudiobookMediaType = "2";

struct OutputContextCloser {
  void operator()(AVFormatContext* context) const {
    if (context->pb) avio_closep(&context->pb);
    avformat_free_context(context);
  }
};
struct InputContextCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using OutputContext = std::unique_ptr<AVFormatContext, OutputContextCloser>;
using InputContext = std::unique_ptr<AVFormatContext, InputContextCloser>;
using Packet = std::unique_ptr<AVPacket, PacketFreer>;

// Paths are always local files: the explicit protocol keeps a name such as "http:x.m4a" or
// "pipe:1" a file name instead of a network address or a descriptor.
std::string LocalFileUrl(const char* path) {
  return std::string("file:") + path;
}

// Channel count from an AudioSpecificConfig: object type (5 bits, 31 escapes to 6 more),
// sampling frequency index (4 bits, 15 escapes to an explicit 24-bit rate), channel
// configuration (4 bits). 0 when the configuration gives no channel count of its own.
int ChannelsOfAudioSpecificConfig(const uint8_t* config, uint32_t size) {
  uint64_t bits = 0;
  int available = 0;
  uint32_t next = 0;
  auto read = [&](int count) -> int64_t {
    while (available < count) {
      if (next >= size) return -1;
      bits = (bits << 8) | config[next++];
      available += 8;
    }
    available -= count;
    return static_cast<int64_t>((bits >> available) & ((uint64_t{1} << count) - 1));
  };
  const int64_t objectType = read(5);
  if (objectType < 0) return 0;
  if (objectType == 31 && read(6) < 0) return 0;
  const int64_t frequencyIndex = read(4);
  if (frequencyIndex < 0) return 0;
  if (frequencyIndex == 15 && read(24) < 0) return 0;
  // Configurations 1..7; 0 (a program config element) and the rest give no count here.
  constexpr int kChannels[8] = {0, 1, 2, 3, 4, 5, 6, 8};
  const int64_t channelConfig = read(4);
  return channelConfig >= 0 && channelConfig < 8 ? kChannels[channelConfig] : 0;
}

}  // namespace

struct Mp4File {
  // Writing.
  OutputContext output;
  AVStream* stream = nullptr;  // owned by output
  uint32_t trackTimeScale = 0;
  bool headerWritten = false;
  bool failed = false;  // a write failed: the file is not what the caller asked for
  bool sawFirstSample = false;
  int64_t priming = 0;  // encoder delay, in track time scale units
  uint64_t storedDuration = 0;
  // The cover picture, written as its stream's one packet once the header is out.
  AVStream* coverStream = nullptr;  // owned by output
  std::string coverBytes;
  uint32_t reservedSpace = 0;
  // Reading.
  InputContext input;

  bool Writing() const { return output != nullptr; }
  bool Reading() const { return input != nullptr; }
  // Track and codec parameters may change only until the muxer has taken them.
  bool Configurable() const { return Writing() && !headerWritten && !failed; }

  // The stream parameters are complete only once the track's configuration is known, so the
  // header goes out with the first sample (or at close).
  bool EnsureHeader() {
    if (headerWritten) return true;
    if (failed) return false;
    if (!stream || stream->codecpar->extradata_size == 0 ||
        avformat_write_header(output.get(), nullptr) < 0) {
      failed = true;
      return false;
    }
    headerWritten = true;
    if (coverStream && !WriteCover()) {
      failed = true;
      return false;
    }
    return true;
  }

  // The muxer keeps the attached picture's packet and writes it as covr at the end.
  bool WriteCover() {
    Packet packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), static_cast<int>(coverBytes.size())) < 0) {
      return false;
    }
    std::memcpy(packet->data, coverBytes.data(), coverBytes.size());
    packet->stream_index = coverStream->index;
    packet->flags = AV_PKT_FLAG_KEY;
    packet->pts = 0;
    packet->dts = 0;
    const bool written = av_write_frame(output.get(), packet.get()) >= 0;
    coverBytes.clear();
    coverBytes.shrink_to_fit();
    return written;
  }
};

MP4FileHandle MP4CreateExx(const char* path, Mp4Brand brand) {
  if (!path || !*path) return nullptr;
  const char* muxer = brand == Mp4Brand::kMp4 ? "mp4" : "ipod";
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, nullptr, muxer, path) < 0 || !raw) return nullptr;
  auto file = std::make_unique<Mp4File>();
  file->output.reset(raw);
  AVFormatContext* context = file->output.get();
  // Every option is set before the file is touched, so a refusal leaves the disk alone.
  // The edit list is what makes players skip the encoder delay.
  if (av_opt_set_int(context->priv_data, "use_editlist", 1, 0) < 0) return nullptr;
  if (brand == Mp4Brand::kM4b) {
    if (av_opt_set(context->priv_data, "brand", "M4B ", 0) < 0 ||
        av_dict_set(&context->metadata, "media_type", kAudiobookMediaType, 0) < 0) {
      return nullptr;
    }
  }
  const int opened = avio_open(&context->pb, LocalFileUrl(path).c_str(), AVIO_FLAG_WRITE);
  if (opened < 0) return nullptr;
  return file.release();
}

bool MP4SetTimeScaleExx(MP4FileHandle file, uint32_t timeScale) {
  if (!file || !file->Configurable() || timeScale == 0 || timeScale > INT_MAX) return false;
  return av_opt_set_int(file->output->priv_data, "movie_timescale", timeScale, 0) >= 0;
}

MP4TrackId MP4AddAudioTrackExx(MP4FileHandle file, uint32_t timeScale,
                               MP4Duration /*sampleDuration*/, uint8_t audioType) {
  if (!file || !file->Configurable() || file->stream) return MP4_INVALID_TRACK_ID;
  const bool aac = audioType == MP4_MPEG4_AUDIO_TYPE || (audioType >= 0x66 && audioType <= 0x68);
  if (!aac || timeScale == 0 || timeScale > INT_MAX) return MP4_INVALID_TRACK_ID;
  AVStream* stream = avformat_new_stream(file->output.get(), nullptr);
  if (!stream) return MP4_INVALID_TRACK_ID;
  stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  stream->codecpar->codec_id = AV_CODEC_ID_AAC;
  stream->codecpar->sample_rate = static_cast<int>(timeScale);
  // Samples per AAC frame; every stored sample still carries its own duration.
  stream->codecpar->frame_size = 1024;
  stream->time_base = AVRational{1, static_cast<int>(timeScale)};
  file->stream = stream;
  file->trackTimeScale = timeScale;
  return kAudioTrackId;
}

bool MP4SetAudioProfileLevelExx(MP4FileHandle file, uint8_t level) {
  if (!file || !file->Configurable()) return false;
  void* muxer = file->output->priv_data;
  return av_opt_set_int(muxer, "skip_iods", 0, 0) >= 0 &&
         av_opt_set_int(muxer, "iods_audio_profile", level, 0) >= 0;
}

bool MP4SetTrackESConfigurationExx(MP4FileHandle file, MP4TrackId track, const uint8_t* config,
                                   uint32_t size) {
  if (!file || !file->Configurable() || !file->stream || track != kAudioTrackId || !config ||
      size == 0 || size > 0xFFFF) {
    return false;
  }
  const int channels = ChannelsOfAudioSpecificConfig(config, size);
  if (channels == 0) return false;
  auto* copy = static_cast<uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!copy) return false;
  std::memcpy(copy, config, size);
  AVCodecParameters* parameters = file->stream->codecpar;
  av_freep(&parameters->extradata);
  parameters->extradata = copy;
  parameters->extradata_size = static_cast<int>(size);
  av_channel_layout_uninit(&parameters->ch_layout);
  av_channel_layout_default(&parameters->ch_layout, channels);
  return true;
}

namespace {

bool SetTag(MP4FileHandle file, const char* key, const char* value) {
  if (!file || !file->Writing() || !value || !ffmpeg::IsUtf8(value)) return false;
  // An empty text is no tag at all (the muxer would write an empty atom).
  return av_dict_set(&file->output->metadata, key, *value ? value : nullptr, 0) >= 0;
}

}  // namespace

bool MP4SetMetadataNameExx(MP4FileHandle file, const char* value) {
  return SetTag(file, "title", value);
}
bool MP4SetMetadataArtistExx(MP4FileHandle file, const char* value) {
  return SetTag(file, "artist", value);
}
bool MP4SetMetadataAlbumExx(MP4FileHandle file, const char* value) {
  return SetTag(file, "album", value);
}
bool MP4SetMetadataYearExx(MP4FileHandle file, const char* value) {
  return SetTag(file, "date", value);
}
bool MP4SetMetadataGenreExx(MP4FileHandle file, const char* value) {
  return SetTag(file, "genre", value);
}
bool MP4SetMetadataCommentExx(MP4FileHandle file, const char* value) {
  return SetTag(file, "comment", value);
}
bool MP4SetMetadataWriterExx(MP4FileHandle file, const char* value) {
  return SetTag(file, "composer", value);
}

bool MP4SetMetadataTrackExx(MP4FileHandle file, uint16_t track, uint16_t total) {
  if (!file || !file->Writing()) return false;
  const std::string text =
      total == 0 ? std::to_string(track) : std::to_string(track) + "/" + std::to_string(total);
  return SetTag(file, "track", text.c_str());
}

bool MP4SetMetadataAlbumArtistExx(MP4FileHandle file, const char* value) {
  return SetTag(file, "album_artist", value);
}

bool MP4SetMetadataDiskExx(MP4FileHandle file, uint16_t disk, uint16_t total) {
  if (!file || !file->Writing()) return false;
  if (disk == 0) return SetTag(file, "disc", "");
  const std::string text =
      total == 0 ? std::to_string(disk) : std::to_string(disk) + "/" + std::to_string(total);
  return SetTag(file, "disc", text.c_str());
}

bool MP4SetMetadataCoverArtExx(MP4FileHandle file, const uint8_t* data, uint32_t size,
                               Mp4ArtType type) {
  // The covr atom and the packet both count their size in 32 bits (signed, for the packet).
  constexpr uint32_t kMaxCover = INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE - 1024;
  if (!file || !file->Configurable() || !data || size == 0 || size > kMaxCover) return false;
  if (!file->coverStream) {
    AVStream* stream = avformat_new_stream(file->output.get(), nullptr);
    if (!stream) return false;
    stream->disposition = AV_DISPOSITION_ATTACHED_PIC;
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    // The muxer wants a picture's dimensions, though covr stores none: readers take them
    // from the image itself.
    stream->codecpar->width = 1;
    stream->codecpar->height = 1;
    stream->time_base = AVRational{1, 90000};
    file->coverStream = stream;
  }
  file->coverStream->codecpar->codec_id =
      type == Mp4ArtType::kPng ? AV_CODEC_ID_PNG : AV_CODEC_ID_MJPEG;
  file->coverBytes.assign(reinterpret_cast<const char*>(data), size);
  return true;
}

bool MP4ReserveTagSpaceExx(MP4FileHandle file, uint32_t bytes) {
  constexpr uint32_t kAtomHeader = 8;
  if (!file || !file->Writing() || (bytes != 0 && bytes < kAtomHeader)) return false;
  file->reservedSpace = bytes;
  return true;
}

bool MP4WriteSampleExx(MP4FileHandle file, MP4TrackId track, const uint8_t* bytes, uint32_t size,
                       MP4Duration duration, MP4Duration renderingOffset, bool isSyncSample) {
  if (!file || !file->Writing() || !file->stream || track != kAudioTrackId || !bytes || size == 0 ||
      size > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE) {
    return false;
  }
  if (file->failed) return false;
  // MP4 sample tables hold 32-bit durations; the edit list a 32-bit start (version 0).
  if (duration > std::numeric_limits<uint32_t>::max()) return false;
  if (file->sawFirstSample) {
    if (renderingOffset != 0) return false;
  } else {
    if (renderingOffset > static_cast<MP4Duration>(INT32_MAX)) return false;
    file->sawFirstSample = true;
    file->priming = static_cast<int64_t>(renderingOffset);
  }
  if (duration == 0) return true;
  if (file->storedDuration + duration > static_cast<uint64_t>(INT64_MAX / 2)) return false;
  if (!file->EnsureHeader()) return false;

  Packet packet(av_packet_alloc());
  if (!packet || av_new_packet(packet.get(), static_cast<int>(size)) < 0) {
    file->failed = true;
    return false;
  }
  std::memcpy(packet->data, bytes, size);
  // Timestamps start before zero by the encoder delay; the muxer's edit list then starts
  // playback at zero, so the delay is never heard.
  const int64_t start = static_cast<int64_t>(file->storedDuration) - file->priming;
  packet->pts = start;
  packet->dts = start;
  packet->duration = static_cast<int64_t>(duration);
  packet->stream_index = file->stream->index;
  packet->flags = isSyncSample ? AV_PKT_FLAG_KEY : 0;
  av_packet_rescale_ts(packet.get(), AVRational{1, static_cast<int>(file->trackTimeScale)},
                       file->stream->time_base);
  if (av_write_frame(file->output.get(), packet.get()) < 0) {
    file->failed = true;
    return false;
  }
  file->storedDuration += duration;
  return true;
}

bool MP4CloseExx(MP4FileHandle file) {
  if (!file) return false;
  const std::unique_ptr<Mp4File> owned(file);
  if (!owned->Writing()) return true;
  bool ok = !owned->failed;
  AVFormatContext* context = owned->output.get();
  if (owned->EnsureHeader()) {
    // Samples that all lie inside the encoder delay would give the edit list a negative
    // length; without the edit list the file stays valid and plays what it holds.
    if (owned->storedDuration < static_cast<uint64_t>(owned->priming) &&
        av_opt_set_int(context->priv_data, "use_editlist", 0, 0) < 0) {
      ok = false;
    }
    if (av_write_trailer(context) < 0) ok = false;
    if (ok && owned->reservedSpace != 0) {
      avio_wb32(context->pb, owned->reservedSpace);
      avio_write(context->pb, reinterpret_cast<const unsigned char*>("free"), 4);
      for (uint32_t i = 8; i < owned->reservedSpace; ++i) avio_w8(context->pb, 0);
    }
  } else {
    ok = false;
  }
  if (context->pb) {
    // avio_closep does not report a failed final flush, so ask the buffer itself.
    avio_flush(context->pb);
    if (context->pb->error < 0) ok = false;
    if (avio_closep(&context->pb) < 0) ok = false;
  }
  return ok;
}

MP4FileHandle MP4ReadExx(const char* path) {
  if (!path || !*path) return nullptr;
  // Only the MP4 demuxer may look at the file, and only as a local file.
  ffmpeg::OwnedDictionary options;
  options.Set("format_whitelist", "mov");
  options.Set("protocol_whitelist", "file");
  AVFormatContext* raw = nullptr;
  const int opened =
      avformat_open_input(&raw, LocalFileUrl(path).c_str(), nullptr, options.Address());
  if (opened < 0 || !raw) return nullptr;
  InputContext input(raw);
  if (!input->iformat || std::strcmp(input->iformat->name, kMovDemuxerName) != 0) return nullptr;
  auto file = std::make_unique<Mp4File>();
  file->input = std::move(input);
  return file.release();
}

namespace {

bool GetTag(MP4FileHandle file, const char* key, char** value) {
  if (!value) return false;
  *value = nullptr;
  if (!file || !file->Reading()) return false;
  const AVDictionaryEntry* entry = av_dict_get(file->input->metadata, key, nullptr, 0);
  if (!entry || !entry->value || !*entry->value) return false;
  const std::string_view found(entry->value);
  const std::string text = ffmpeg::AsUtf8(found);
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (!copy) return false;
  std::memcpy(copy, text.c_str(), text.size() + 1);
  *value = copy;
  return true;
}

// A decimal number of at most 16 bits; false for anything else (signs, spaces, overflow).
bool ParseNumber(std::string_view text, uint16_t& number) {
  if (text.empty() || text.size() > 5) return false;
  uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value > 0xFFFF) return false;
  number = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

bool MP4GetMetadataNameExx(MP4FileHandle file, char** value) {
  return GetTag(file, "title", value);
}
bool MP4GetMetadataArtistExx(MP4FileHandle file, char** value) {
  return GetTag(file, "artist", value);
}
bool MP4GetMetadataAlbumExx(MP4FileHandle file, char** value) {
  return GetTag(file, "album", value);
}
bool MP4GetMetadataYearExx(MP4FileHandle file, char** value) {
  return GetTag(file, "date", value);
}
bool MP4GetMetadataGenreExx(MP4FileHandle file, char** value) {
  return GetTag(file, "genre", value);
}
bool MP4GetMetadataCommentExx(MP4FileHandle file, char** value) {
  return GetTag(file, "comment", value);
}
bool MP4GetMetadataWriterExx(MP4FileHandle file, char** value) {
  return GetTag(file, "composer", value);
}

bool MP4GetMetadataTrackExx(MP4FileHandle file, uint16_t* track, uint16_t* total) {
  if (!file || !file->Reading() || !track || !total) return false;
  const AVDictionaryEntry* entry = av_dict_get(file->input->metadata, "track", nullptr, 0);
  if (!entry || !entry->value) return false;
  const std::string_view text(entry->value);
  const size_t slash = text.find('/');
  uint16_t number = 0;
  uint16_t count = 0;
  if (!ParseNumber(text.substr(0, slash), number)) return false;
  if (slash != std::string_view::npos && !ParseNumber(text.substr(slash + 1), count)) return false;
  *track = number;
  *total = count;
  return true;
}

void FreeMemExx(void* memory) {
  std::free(memory);
}

}  // namespace platform
