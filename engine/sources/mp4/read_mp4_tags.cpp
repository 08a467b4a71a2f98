#include "engine/sources/mp4/read_mp4_tags.h"

#include <cstdint>
#include <memory>
#include <optional>

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

// One text field: the library's UTF-8 becomes locale text; a field the locale cannot hold
// is left as it was.
bool ReadField(platform::MP4FileHandle file, Getter get, std::string& field) {
  char* raw = nullptr;
  const bool present = get(file, &raw);
  const std::unique_ptr<char, Mp4StringFreer> text(raw);
  if (!present || !text) return false;
  const std::optional<std::string> local = platform::Utf8ToAnsi(text.get());
  if (!local) return false;
  field = *local;
  return true;
}

}  // namespace

bool ReadMp4Tags(const std::string& path, std::string& title, std::string& artist,
                 std::string& album, std::string& year, std::string& genre, std::string& comment,
                 std::string& track, std::string& composer, std::string& copyright) {
  const std::unique_ptr<platform::Mp4File, Mp4Closer> file(platform::MP4ReadExx(path.c_str()));
  if (!file) return false;
  bool found = false;
  found |= ReadField(file.get(), platform::MP4GetMetadataNameExx, title);
  found |= ReadField(file.get(), platform::MP4GetMetadataArtistExx, artist);
  found |= ReadField(file.get(), platform::MP4GetMetadataAlbumExx, album);
  found |= ReadField(file.get(), platform::MP4GetMetadataYearExx, year);
  found |= ReadField(file.get(), platform::MP4GetMetadataGenreExx, genre);
  found |= ReadField(file.get(), platform::MP4GetMetadataCommentExx, comment);
  uint16_t number = 0;
  uint16_t total = 0;
  if (platform::MP4GetMetadataTrackExx(file.get(), &number, &total)) {
    track = std::to_string(number);
  }
  found |= ReadField(file.get(), platform::MP4GetMetadataWriterExx, composer);
  copyright.clear();
  return found;
}

}  // namespace sonorell
