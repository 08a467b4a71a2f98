#include "engine/workers/album_gains.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/encoders/staged_output.h"
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

// Edits a committed output atomically: a copy beside it takes the gains and replaces it
// only when complete, so a run killed meanwhile leaves the file as it was. The source is
// never replaced.
bool TagCommittedOutput(const std::string& target, const std::string& source, const GainTags& gains,
                        GainTagWriter writeGains) {
  std::ifstream in(target, std::ios::binary);
  if (!in) {
    SetFailureNote("the output could not be read again");
    return false;
  }
  StagedOutput copy;
  if (!copy.Open(target)) return false;
  std::vector<char> buffer(1 << 20);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.gcount() > 0 && !copy.Write(buffer.data(), static_cast<size_t>(in.gcount()))) {
      return false;
    }
  }
  if (in.bad()) {
    SetFailureNote("the output could not be read again");
    return false;
  }
  copy.HandOverToLibrary();
  return !copy.Failed() && writeGains(copy.TempPath(), gains) && copy.Commit(source);
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
    if (!TagCommittedOutput(t.target, t.source, gains, writeGains)) {
      const std::string& note = GetFailureNote();
      failures.push_back(
          {t.index, note.empty() ? std::string("the file could not be edited") : note});
    }
  }
  return failures;
}

}  // namespace sonorell
