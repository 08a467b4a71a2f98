#include "engine/sources/mp4/read_mp4_tags.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "platform/mp4/mp4_wrapper.h"
#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

struct Mp4Closer {
  void operator()(platform::Mp4File* file) const { platform::MP4CloseExx(file); }
};
struct Mp4StringFreer {
  void operator()(char* text) const { platform::FreeMemExx(text); }
};

using Getter = bool (*)(platform::MP4FileHandle, char**);

// One text field: the library's UTF-8 becomes locale text, with replacement characters for
// what the locale cannot hold (noted in replaced).
bool ReadField(platform::MP4FileHandle file, Getter get, std::string& field, bool& replaced) {
  char* raw = nullptr;
  const bool present = get(file, &raw);
  const std::unique_ptr<char, Mp4StringFreer> text(raw);
  if (!present || !text) return false;
  platform::ReplacedText local = platform::Utf8ToAnsiReplacing(text.get());
  replaced = replaced || local.replaced;
  field = std::move(local.text);
  return true;
}

}  // namespace

bool ReadMp4Tags(const std::string& path, std::string& title, std::string& artist,
                 std::string& album, std::string& year, std::string& genre, std::string& comment,
                 std::string& track, std::string& composer, std::string& copyright,
                 bool* textReplaced) {
  const std::unique_ptr<platform::Mp4File, Mp4Closer> file(platform::MP4ReadExx(path.c_str()));
  if (!file) return false;
  bool found = false;
  bool replaced = false;
  found |= ReadField(file.get(), platform::MP4GetMetadataNameExx, title, replaced);
  found |= ReadField(file.get(), platform::MP4GetMetadataArtistExx, artist, replaced);
  found |= ReadField(file.get(), platform::MP4GetMetadataAlbumExx, album, replaced);
  found |= ReadField(file.get(), platform::MP4GetMetadataYearExx, year, replaced);
  found |= ReadField(file.get(), platform::MP4GetMetadataGenreExx, genre, replaced);
  found |= ReadField(file.get(), platform::MP4GetMetadataCommentExx, comment, replaced);
  uint16_t number = 0;
  uint16_t total = 0;
  if (platform::MP4GetMetadataTrackExx(file.get(), &number, &total)) {
    track = std::to_string(number);
  }
  found |= ReadField(file.get(), platform::MP4GetMetadataWriterExx, composer, replaced);
  copyright.clear();
  if (textReplaced) *textReplaced = replaced;
  return found;
}

}  // namespace sonorell
