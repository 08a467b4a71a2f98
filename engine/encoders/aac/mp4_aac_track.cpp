#include "engine/encoders/aac/mp4_aac_track.h"

#include <algorithm>
#include <optional>

#include "engine/encoders/tags/cover_picture_check.h"
#include "engine/encoders/tags/track_number.h"
#include "engine/encoders/tags/utf8_tag_text.h"
#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

using Setter = bool (*)(platform::MP4FileHandle, const char*);

void SetText(platform::MP4FileHandle file, Setter setter, const std::string& text) {
  if (const std::optional<std::string> utf8 = Utf8TagText(text)) setter(file, utf8->c_str());
}

// MP4 numbers (trkn, disk) are 16 bits: 0, which is left out, for anything else.
uint16_t Count16(std::string_view text) {
  const int value = TrackNumberValue(text);
  return value >= 1 && value <= 0xFFFF ? static_cast<uint16_t>(value) : 0;
}

// A picture's atom and the index around it count in 32 bits.
constexpr size_t kMaxMp4PictureBytes = size_t{1} << 30;

}  // namespace

Mp4AacTrack::~Mp4AacTrack() = default;

bool Mp4AacTrack::Create(platform::Mp4Brand brand) {
  if (file_) return false;
  // The wrapper writes the temporary file by its name.
  out_.HandOverToLibrary();
  file_.reset(platform::MP4CreateExx(out_.TempPath().c_str(), brand));
  return file_ != nullptr;
}

bool Mp4AacTrack::AddTrack(int rate, int frameSize, const std::vector<uint8_t>& config) {
  platform::MP4FileHandle file = file_.get();
  if (file == nullptr || rate <= 0 || frameSize <= 0 || config.empty()) return false;
  if (!platform::MP4SetTimeScaleExx(file, kMovieTimeScale)) return false;
  track_ =
      platform::MP4AddAudioTrackExx(file, static_cast<uint32_t>(rate),
                                    platform::MP4_INVALID_DURATION, platform::MP4_MPEG4_AUDIO_TYPE);
  if (track_ == platform::MP4_INVALID_TRACK_ID) return false;
  if (!platform::MP4SetAudioProfileLevelExx(file, kAudioProfileLevel)) return false;
  if (!platform::MP4SetTrackESConfigurationExx(file, track_, config.data(),
                                               static_cast<uint32_t>(config.size()))) {
    return false;
  }
  frameSize_ = static_cast<uint64_t>(frameSize);
  return true;
}

void Mp4AacTrack::SetTags(const TagRecord& tags, std::string_view trackTotal) {
  platform::MP4FileHandle file = file_.get();
  if (file == nullptr) return;
  SetText(file, platform::MP4SetMetadataNameExx, tags.title);
  SetText(file, platform::MP4SetMetadataArtistExx, tags.artist);
  SetText(file, platform::MP4SetMetadataAlbumExx, tags.album);
  SetText(file, platform::MP4SetMetadataYearExx, tags.year);
  SetText(file, platform::MP4SetMetadataGenreExx, tags.genre);
  SetText(file, platform::MP4SetMetadataCommentExx, tags.comment);
  SetText(file, platform::MP4SetMetadataWriterExx, tags.composer);
  const int track = TrackNumberValue(tags.track);
  if (track >= 1 && track <= 0xFFFF) {
    platform::MP4SetMetadataTrackExx(file, static_cast<uint16_t>(track), Count16(trackTotal));
  }
}

std::string Mp4AacTrack::SetExtras(const ExtraTags& extras) {
  platform::MP4FileHandle file = file_.get();
  if (file == nullptr) return {};
  if (!extras.albumArtist.empty() && platform::IsValidUtf8(extras.albumArtist)) {
    platform::MP4SetMetadataAlbumArtistExx(file, extras.albumArtist.c_str());
  }
  if (const uint16_t disc = Count16(extras.disc); disc != 0) {
    platform::MP4SetMetadataDiskExx(file, disc, Count16(extras.discTotal));
  }
  if (!extras.cover) return {};
  const std::string& picture = extras.cover->data;
  const std::string mime = ImageMimeType(picture);
  if (mime != "image/jpeg" && mime != "image/png") {
    return "MP4 files hold JPEG and PNG pictures only";
  }
  const auto type = mime == "image/png" ? platform::Mp4ArtType::kPng : platform::Mp4ArtType::kJpeg;
  if (picture.size() > kMaxMp4PictureBytes ||
      !platform::MP4SetMetadataCoverArtExx(file, reinterpret_cast<const uint8_t*>(picture.data()),
                                           static_cast<uint32_t>(picture.size()), type)) {
    return "it is larger than an MP4 file holds";
  }
  return {};
}

void Mp4AacTrack::ReserveTagRoom(uint32_t bytes) {
  if (file_) platform::MP4ReserveTagSpaceExx(file_.get(), bytes);
}

bool Mp4AacTrack::WriteSample(const uint8_t* bytes, size_t size, uint64_t duration) {
  // The first sample's offset is the encoder's start-up delay.
  const uint64_t offset = firstSample_ ? frameSize_ : 0;
  if (size > UINT32_MAX ||
      !platform::MP4WriteSampleExx(file_.get(), track_, bytes, static_cast<uint32_t>(size),
                                   duration, offset, true)) {
    failed_ = true;
    return false;
  }
  firstSample_ = false;
  samplesWritten_ += duration;
  return true;
}

bool Mp4AacTrack::WriteFrame(const uint8_t* bytes, size_t size, uint64_t inputKnown) {
  if (!file_ || track_ == platform::MP4_INVALID_TRACK_ID || failed_) return false;
  // The stream plays at least inputKnown samples and the delay, so a frame that starts
  // within inputKnown plays whole.
  if (waiting_.empty() && samplesWritten_ <= inputKnown) {
    return WriteSample(bytes, size, frameSize_);
  }
  waiting_.emplace_back(bytes, bytes + size);
  return true;
}

bool Mp4AacTrack::Close(uint64_t inputSamples) {
  if (!file_ || failed_) return false;
  const uint64_t total = inputSamples + frameSize_;
  for (; !waiting_.empty() && !failed_; waiting_.pop_front()) {
    const uint64_t duration = std::min(frameSize_, total - std::min(total, samplesWritten_));
    WriteSample(waiting_.front().data(), waiting_.front().size(), duration);
  }
  // Closing writes the index; a file without it is no MP4 file.
  const bool closed = platform::MP4CloseExx(file_.release());
  return closed && !failed_;
}

}  // namespace sonorell
