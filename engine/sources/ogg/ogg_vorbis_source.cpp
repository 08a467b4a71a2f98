#include "engine/sources/ogg/ogg_vorbis_source.h"

#include <sys/types.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string_view>

#include "platform/ogg/ogg_tail.h"
#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

// vorbisfile reads the file we own through these; it never closes it.
size_t ReadCallback(void* buffer, size_t size, size_t count, void* file) {
  return std::fread(buffer, size, count, static_cast<std::FILE*>(file));
}

int SeekCallback(void* file, ogg_int64_t offset, int whence) {
  return ::fseeko(static_cast<std::FILE*>(file), static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
}

long TellCallback(void* file) {
  return static_cast<long>(::ftello(static_cast<std::FILE*>(file)));
}

constexpr ov_callbacks kCallbacks{ReadCallback, SeekCallback, nullptr, TellCallback};

// Seconds truncated to whole ones; nothing for a damaged link's NaN or negative time.
int WholeSeconds(double seconds) {
  if (!(seconds >= 0.0)) return 0;
  if (seconds >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  return static_cast<int>(seconds);
}

int Kilobits(double bitsPerSecond) {
  if (!(bitsPerSecond > 0.0)) return 0;
  const double kbit = bitsPerSecond / 1000.0;
  if (kbit >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  return static_cast<int>(kbit);
}

// Comment names are ASCII; compared without regard to case, whatever the locale.
bool StartsWithName(std::string_view text, std::string_view name) {
  if (text.size() < name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(text[i]) != lower(name[i])) return false;
  }
  return true;
}

}  // namespace

OggVorbisSource::~OggVorbisSource() {
  Close();
}

void OggVorbisSource::Close() {
  if (opened_) ov_clear(&vorbis_);
  vorbis_ = OggVorbis_File{};
  file_.reset();
  opened_ = false;
  ended_ = false;
  path_.clear();
  pendingStart_ = 0;
  pendingBytes_ = 0;
  comments_.clear();
  replacedComments_.clear();
  ResetProperties();
}

bool OggVorbisSource::Open(const std::string& path, int /*renderingRate*/) {
  Close();
  file_.reset(std::fopen(path.c_str(), "rb"));
  if (!file_) return false;
  // On failure vorbisfile clears the record itself; the file stays ours to close.
  if (ov_open_callbacks(file_.get(), &vorbis_, nullptr, 0, kCallbacks) < 0) {
    Close();
    return false;
  }
  opened_ = true;

  const vorbis_info* info = ov_info(&vorbis_, -1);
  // A first link whose headers were damaged past recovery reports no channels or rate.
  if (info == nullptr || info->channels < 1 || !UsableSampleRate(static_cast<double>(info->rate))) {
    Close();
    return false;
  }

  if (const vorbis_comment* vc = ov_comment(&vorbis_, -1)) {
    for (int i = 0; i < vc->comments; ++i) {
      if (vc->user_comments[i] == nullptr || vc->comment_lengths[i] < 0) continue;
      const std::string_view text(vc->user_comments[i],
                                  static_cast<size_t>(vc->comment_lengths[i]));
      platform::ReplacedText local = platform::Utf8ToAnsiReplacing(text);
      if (local.replaced) replacedComments_.push_back(comments_.size());
      comments_.push_back(std::move(local.text));
    }
  }

  SetFormat(info->channels, 16, static_cast<int>(info->rate));

  // Length and duration of every link. A file that cannot be sought has neither; vorbisfile
  // then reports errors.
  uint64_t rawBytes = 0;
  double seconds = 0.0;
  if (ov_seekable(&vorbis_)) {
    const long links = ov_streams(&vorbis_);
    for (int link = 0; link < links; ++link) {
      const ogg_int64_t raw = ov_raw_total(&vorbis_, link);
      const double time = ov_time_total(&vorbis_, link);
      if (raw > 0) rawBytes += static_cast<uint64_t>(raw);
      if (time > 0.0) seconds += time;
    }
  }
  length_ = rawBytes;
  duration_ = WholeSeconds(seconds);

  // The nominal rate the encoder announced; files that leave it unset get the first
  // link's measured average. Below a millisecond of sound there is nothing to measure.
  if (info->bitrate_nominal > 0) {
    bitrate_ = static_cast<int>(info->bitrate_nominal / 1000);
  } else if (ov_seekable(&vorbis_) && ov_time_total(&vorbis_, 0) >= 0.001) {
    bitrate_ = Kilobits(static_cast<double>(ov_bitrate(&vorbis_, 0)));
  }

  // Opening a chained file leaves vorbisfile past a first link that has only one page of
  // sound, so that link would go unheard; a seek to the first sample puts it back. Should
  // the seek fail, the position the open left is restored.
  if (ov_seekable(&vorbis_) && ov_streams(&vorbis_) > 1 && ov_pcm_seek(&vorbis_, 0) != 0)
    ov_raw_seek(&vorbis_, 0);
  path_ = path;
  return true;
}

long OggVorbisSource::ReadDecoded(int& channels, int& rate) {
  if (!opened_ || ended_) return 0;
  auto* buffer = reinterpret_cast<char*>(interleaved_.data());
  // A block of one channel at the most, so that a link of fewer channels than asked for
  // still fits the caller's blocks after at most one more Read.
  const int bytes = static_cast<int>(std::min<size_t>(
      sizeof interleaved_, size_t{2} * BlockFrames * static_cast<size_t>(channels_)));
  for (int errors = 0; errors < kMaxConsecutiveErrors; ++errors) {
    int link = 0;
    const long got = ov_read(&vorbis_, buffer, bytes, 0 /*little-endian*/, 2, 1 /*signed*/, &link);
    if (got < 0) continue;  // a hole in the stream or a damaged page: read on past it
    if (got == 0) {
      ended_ = true;
      if (platform::ogg::FileEndsInCutPage(path_)) dataEnd_ = DataEnd::kBrokenOff;
      return 0;
    }
    const vorbis_info* info = ov_info(&vorbis_, link);
    if (info == nullptr || info->channels < 1 || !UsableSampleRate(static_cast<double>(info->rate)))
      continue;
    channels = info->channels;
    rate = static_cast<int>(info->rate);
    const long frameBytes = 2L * channels;
    const long whole = got / frameBytes * frameBytes;
    if (whole > 0) return whole;
  }
  // The decoder failed on everything that followed: what was delivered is not all there is.
  ended_ = true;
  dataEnd_ = DataEnd::kBrokenOff;
  return 0;
}

int OggVorbisSource::Read(void* left, void* right) {
  if (!opened_ || left == nullptr) return 0;
  if (pendingBytes_ == 0) {
    int channels = channels_;
    int rate = sampleRate_;
    pendingStart_ = 0;
    pendingBytes_ = ReadDecoded(channels, rate);
    if (pendingBytes_ == 0) return 0;
    // The run belongs to a link of another format: the caller learns of it first.
    if (channels != channels_ || rate != sampleRate_) {
      SetFormat(channels, 16, rate);
      dataEnd_ = DataEnd::kFormatChange;
      return 0;
    }
  }
  dataEnd_ = DataEnd::kEnd;
  const int frames =
      static_cast<int>(std::min<long>(pendingBytes_ / (2L * channels_), BlockFrames));
  const int16_t* run = interleaved_.data() + pendingStart_;
  pendingStart_ += static_cast<size_t>(frames) * static_cast<size_t>(channels_);
  pendingBytes_ -= 2L * frames * channels_;
  auto* l = static_cast<int16_t*>(left);
  auto* r = outputChannels_ == 2 ? static_cast<int16_t*>(right) : nullptr;
  const size_t step = static_cast<size_t>(channels_);
  // Vorbis puts the centre second in its 3- and 5-to-8-channel layouts (L, C, R, ...): the
  // front right is the third channel there, the second otherwise.
  const size_t rightIndex = (channels_ == 3 || channels_ >= 5) ? 2 : 1;
  for (int f = 0; f < frames; ++f) {
    l[f] = run[static_cast<size_t>(f) * step];
    if (r) r[f] = run[static_cast<size_t>(f) * step + rightIndex];
  }
  return frames;
}

uint64_t OggVorbisSource::GetPosition() const {
  if (!opened_) return 0;
  const ogg_int64_t at = ov_raw_tell(&vorbis_);
  // Junk after the last page, or a link that is not delivered, lies beyond the length.
  if (at <= 0) return 0;
  return std::min<uint64_t>(static_cast<uint64_t>(at), length_);
}

bool OggVorbisSource::ReadTags(std::string& title, std::string& artist, std::string& album,
                               std::string& year, std::string& genre, std::string& comment,
                               std::string& track, std::string& composer, std::string& copyright) {
  const struct {
    std::string_view name;
    std::string& field;
  } fields[] = {
      {"TITLE=", title},       {"ARTIST=", artist},     {"ALBUM=", album},
      {"DATE=", year},         {"GENRE=", genre},       {"COMMENT=", comment},
      {"TRACKNUMBER=", track}, {"COMPOSER=", composer}, {"COPYRIGHT=", copyright},
  };
  tagTextReplaced_ = false;
  for (const auto& f : fields) {
    f.field.clear();
    size_t taken = comments_.size();
    for (size_t i = 0; i < comments_.size(); ++i) {
      if (StartsWithName(comments_[i], f.name)) taken = i;
    }
    if (taken == comments_.size()) continue;
    f.field = comments_[taken].substr(f.name.size());
    tagTextReplaced_ =
        tagTextReplaced_ || std::find(replacedComments_.begin(), replacedComments_.end(), taken) !=
                                replacedComments_.end();
  }
  return true;
}

}  // namespace sonorell
