#include "engine/workers/album_gains.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

struct Album {
  LoudnessHistogram loudness;
  double peak = 0.0;
};

std::string FolderOf(const std::string& path) {
  return std::filesystem::path(path).lexically_normal().parent_path().string();
}

}  // namespace

std::vector<AlbumGainFailure> WriteAlbumGains(const std::vector<AlbumTrack>& tracks,
                                              GainTagWriter writeGains) {
  std::vector<AlbumGainFailure> failures;
  if (!writeGains) return failures;
  std::map<std::string, Album> albums;
  for (const AlbumTrack& t : tracks) {
    Album& album = albums[FolderOf(t.source)];
    album.loudness.Merge(t.loudness);
    album.peak = std::max(album.peak, t.peak);
  }
  for (const AlbumTrack& t : tracks) {
    const Album& album = albums[FolderOf(t.source)];
    const std::optional<double> albumLufs = album.loudness.Integrated();
    if (!albumLufs) continue;
    GainTags gains;
    if (const std::optional<double> lufs = t.loudness.Integrated()) {
      gains.track = Loudness{*lufs, t.peak};
    }
    gains.album = Loudness{*albumLufs, album.peak};
    ClearFailureNote();
    if (!writeGains(t.target, gains)) {
      const std::string& note = GetFailureNote();
      failures.push_back(
          {t.index, note.empty() ? std::string("the file could not be edited") : note});
    }
  }
  return failures;
}

}  // namespace sonorell
