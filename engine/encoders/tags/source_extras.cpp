#include "engine/encoders/tags/source_extras.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "engine/encoders/tags/cover_picture_check.h"
#include "engine/encoders/tags/flac_picture_blocks.h"
#include "platform/ffmpeg/media_file.h"

namespace sonorell {
namespace {

constexpr int kFrontCover = 3;

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A decimal number as the source wrote it; empty for anything else.
std::string Decimal(std::string_view text) {
  text = Trimmed(text);
  const bool digits =
      !text.empty() && text.size() <= 9 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  return digits ? std::string(text) : std::string();
}

// The value of the first key the source has (FFmpeg's keys, lower case).
std::string_view FirstOf(const platform::ffmpeg::Metadata& tags,
                         std::initializer_list<std::string_view> keys) {
  for (const std::string_view key : keys) {
    if (const auto it = tags.find(std::string(key)); it != tags.end()) return it->second;
  }
  return {};
}

// "n/N" into its number and its total.
void SplitNumber(std::string_view text, std::string& number, std::string& total) {
  const size_t slash = text.find('/');
  number = Decimal(text.substr(0, slash));
  total = slash == std::string_view::npos ? std::string() : Decimal(text.substr(slash + 1));
}

void ReadTexts(const platform::ffmpeg::Metadata& tags, ExtraTags& extras) {
  extras.albumArtist =
      std::string(Trimmed(FirstOf(tags, {"album_artist", "albumartist", "album artist"})));
  std::string ignored;
  SplitNumber(FirstOf(tags, {"disc", "discnumber"}), extras.disc, extras.discTotal);
  SplitNumber(FirstOf(tags, {"track", "tracknumber"}), ignored, extras.trackTotal);
  // A total in a field of its own says more than one after a slash.
  if (std::string total = Decimal(FirstOf(tags, {"disctotal", "totaldiscs"})); !total.empty()) {
    extras.discTotal = std::move(total);
  }
  if (std::string total = Decimal(FirstOf(tags, {"tracktotal", "totaltracks"})); !total.empty()) {
    extras.trackTotal = std::move(total);
  }
}

// The front cover first (a picture whose container names no type, an MP4 covr item, is
// one), then the others in the file's order; the first one that can be carried wins.
void ChooseCover(std::vector<platform::ffmpeg::AttachedPicture> pictures, ExtraTags& extras,
                 std::string& coverNote) {
  std::stable_partition(pictures.begin(), pictures.end(),
                        [](const auto& p) { return p.type == kFrontCover || p.type < 0; });
  for (platform::ffmpeg::AttachedPicture& p : pictures) {
    CoverPicture cover{
        p.type < 0 ? kFrontCover : p.type, {}, std::move(p.description), std::move(p.data)};
    std::string whyNot = CheckCoverPicture(cover, p.size);
    if (whyNot.empty()) {
      extras.cover = std::move(cover);
      coverNote.clear();
      return;
    }
    if (coverNote.empty()) coverNote = std::move(whyNot);
  }
}

}  // namespace

ExtraTags ReadSourceExtras(const std::string& sourcePath, bool withCover, std::string& coverNote) {
  ExtraTags extras;
  coverNote.clear();
  platform::ffmpeg::MediaFile file;
  if (!file.OpenHeaders(sourcePath)) return extras;
  ReadTexts(file.Tags(), extras);
  if (!withCover) return extras;
  std::vector<platform::ffmpeg::AttachedPicture> pictures = file.AttachedPictures(kMaxCoverBytes);
  // FFmpeg passes over a FLAC picture block it cannot read without a word.
  const bool damagedBlock = CountFlacPictureBlocks(sourcePath) > static_cast<int>(pictures.size());
  ChooseCover(std::move(pictures), extras, coverNote);
  if (!extras.cover && coverNote.empty() && damagedBlock) {
    coverNote = "its picture block is damaged";
  }
  return extras;
}

}  // namespace sonorell
