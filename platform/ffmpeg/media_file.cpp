#include "platform/ffmpeg/media_file.h"

#include <cctype>
#include <cstring>
#include <iterator>
#include <string_view>
#include <utility>

#include "platform/ffmpeg/metadata_text.h"
#include "platform/ffmpeg/owned_dictionary.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace platform::ffmpeg {
namespace detail {

void FormatContextCloser::operator()(AVFormatContext* context) const {
  avformat_close_input(&context);
}

}  // namespace detail

namespace {

std::string LowerCase(std::string_view key) {
  std::string out(key);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Adds the entries of one dictionary that the map does not hold yet.
void AddEntries(const AVDictionary* dictionary, Metadata& out) {
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
    if (entry->key == nullptr || entry->value == nullptr) continue;
    out.emplace(LowerCase(entry->key), AsUtf8(entry->value));
  }
}

// Opens the file itself and nothing else: a playlist or a concatenation script that names
// other files (or this one by another name) is not followed, so opening a file never reads
// another.
int OpenOnlyTheFile(AVFormatContext* s, AVIOContext** pb, const char* url, int flags,
                    AVDictionary** options) {
  if (s->url == nullptr || url == nullptr || std::strcmp(url, s->url) != 0) return AVERROR(EPERM);
  return avio_open2(pb, url, flags, &s->interrupt_callback, options);
}

// FFmpeg names a picture's type with ID3v2's descriptions, in the type numbers' order
// (FLAC and WM/Picture share the numbering).
constexpr std::string_view kPictureTypeNames[] = {
    "Other",
    "32x32 pixels 'file icon'",
    "Other file icon",
    "Cover (front)",
    "Cover (back)",
    "Leaflet page",
    "Media (e.g. label side of CD)",
    "Lead artist/lead performer/soloist",
    "Artist/performer",
    "Conductor",
    "Band/Orchestra",
    "Composer",
    "Lyricist/text writer",
    "Recording Location",
    "During recording",
    "During performance",
    "Movie/video screen capture",
    "A bright coloured fish",
    "Illustration",
    "Band/artist logotype",
    "Publisher/Studio logotype",
};

int PictureType(const AVDictionary* metadata) {
  const AVDictionaryEntry* name = av_dict_get(metadata, "comment", nullptr, 0);
  if (name == nullptr || name->value == nullptr) return -1;
  for (size_t type = 0; type < std::size(kPictureTypeNames); ++type) {
    if (kPictureTypeNames[type] == name->value) return static_cast<int>(type);
  }
  return -1;
}

}  // namespace

MediaFile::MediaFile() = default;
MediaFile::~MediaFile() = default;
MediaFile::MediaFile(MediaFile&&) noexcept = default;
MediaFile& MediaFile::operator=(MediaFile&&) noexcept = default;

bool MediaFile::Open(const std::string& path) {
  return OpenInput(path, true);
}

bool MediaFile::OpenHeaders(const std::string& path) {
  return OpenInput(path, false);
}

bool MediaFile::OpenInput(const std::string& path, bool readStreams) {
  Close();
  // "file:" keeps a name such as "http:x.mp3" a local file; the protocol list keeps
  // playlists and concatenation scripts from opening anything but local files.
  OwnedDictionary options;
  options.Set("protocol_whitelist", "file");
  const std::string url = "file:" + path;
  AVFormatContext* raw = avformat_alloc_context();
  if (raw == nullptr) return false;
  raw->io_open = OpenOnlyTheFile;
  const int opened = avformat_open_input(&raw, url.c_str(), nullptr, options.Address());
  if (opened < 0) return false;  // FFmpeg frees the context itself on failure
  context_.reset(raw);
  if (readStreams && avformat_find_stream_info(raw, nullptr) < 0) {
    Close();
    return false;
  }

  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVCodecParameters* par = raw->streams[i]->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_AUDIO) continue;
    audio_.index = static_cast<int>(i);
    if (!readStreams) break;
    audio_.sampleRate = par->sample_rate > 0 ? par->sample_rate : 0;
    audio_.channels = par->ch_layout.nb_channels > 0 ? par->ch_layout.nb_channels : 0;
    audio_.bitRate = par->bit_rate > 0 ? par->bit_rate : 0;
    audio_.eightBit = par->format == AV_SAMPLE_FMT_U8 || par->format == AV_SAMPLE_FMT_U8P;
    const char* name = avcodec_get_name(par->codec_id);
    audio_.codecName = name ? name : "";
    break;
  }
  // Only the chosen stream is read: the demuxer then skips the others' data (the pictures
  // of a video file) instead of handing it out to be thrown away.
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    if (static_cast<int>(i) != audio_.index) raw->streams[i]->discard = AVDISCARD_ALL;
  }
  return true;
}

void MediaFile::Close() {
  context_.reset();
  audio_ = StreamInfo{};
}

int MediaFile::StreamCount() const {
  return context_ ? static_cast<int>(context_->nb_streams) : 0;
}

std::string MediaFile::FormatName() const {
  if (!context_ || !context_->iformat || !context_->iformat->name) return {};
  return context_->iformat->name;
}

bool MediaFile::IsTrackerModule() const {
  return FormatName() == "libopenmpt";
}

int64_t MediaFile::FileSize() const {
  if (!context_ || !context_->pb) return 0;
  const int64_t size = avio_size(context_->pb);
  return size > 0 ? size : 0;
}

int64_t MediaFile::BytePosition() const {
  if (!context_ || !context_->pb) return 0;
  const int64_t position = avio_tell(context_->pb);
  return position > 0 ? position : 0;
}

double MediaFile::DurationSeconds() const {
  if (!context_ || context_->duration == AV_NOPTS_VALUE || context_->duration <= 0) return 0;
  return static_cast<double>(context_->duration) / AV_TIME_BASE;
}

bool MediaFile::DurationFromBitRate() const {
  return context_ && context_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
}

int64_t MediaFile::BitRate() const {
  return context_ && context_->bit_rate > 0 ? context_->bit_rate : 0;
}

Metadata MediaFile::Tags() const {
  Metadata tags;
  if (!context_) return tags;
  AddEntries(context_->metadata, tags);
  if (audio_.index >= 0) AddEntries(context_->streams[audio_.index]->metadata, tags);
  return tags;
}

std::vector<AttachedPicture> MediaFile::AttachedPictures(int64_t maxBytes) const {
  std::vector<AttachedPicture> pictures;
  if (!context_) return pictures;
  for (unsigned i = 0; i < context_->nb_streams; ++i) {
    const AVStream* stream = context_->streams[i];
    if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) continue;
    const AVPacket& packet = stream->attached_pic;
    if (packet.data == nullptr || packet.size <= 0) continue;
    AttachedPicture picture;
    picture.type = PictureType(stream->metadata);
    if (const AVDictionaryEntry* title = av_dict_get(stream->metadata, "title", nullptr, 0);
        title != nullptr && title->value != nullptr) {
      picture.description = AsUtf8(title->value);
    }
    picture.size = packet.size;
    if (picture.size <= maxBytes) {
      picture.data.assign(reinterpret_cast<const char*>(packet.data),
                          static_cast<size_t>(packet.size));
    }
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

}  // namespace platform::ffmpeg
