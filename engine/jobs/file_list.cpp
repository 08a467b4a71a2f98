#include "engine/jobs/file_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "engine/paths/path_rules.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;

constexpr std::array<FileListColumnInfo, kFileListColumns> kColumns{{
    {"File", false, 152},
    {"Duration", true, 65},
    {"Bit Rate", true, 65},
    {"Freq.", true, 65},
    {"Channels", false, 60},
    {"Status", false, 145},
}};

enum class SortType { kText, kNumber, kTime };

SortType SortTypeOf(int column) {
  switch (column) {
    case kColumnDuration:
      return SortType::kTime;
    case kColumnBitRate:
    case kColumnFreq:
      return SortType::kNumber;
    default:
      return SortType::kText;
  }
}

// The leading decimal number of a text; blank and non-numbers count as 0.
long LeadingNumber(const std::string& text, size_t from = 0) {
  long value = 0;
  for (size_t i = from; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 1'000'000'000L) break;
  }
  return value;
}

// The file a path names at this moment (links followed): its device and inode.
std::optional<FileListIdentity> IdentityNow(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileListIdentity{info.st_dev, info.st_ino};
}

// The path made absolute and normal. Case is kept: this file system tells "A.mp3" and
// "a.mp3" apart.
std::string NormalisedPath(const std::string& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(fs::path(path), ec);
  return (ec ? fs::path(path) : absolute).lexically_normal().string();
}

}  // namespace

const FileListColumnInfo& ColumnInfo(int column) {
  return kColumns[static_cast<size_t>(std::clamp(column, 0, kFileListColumns - 1))];
}

std::string DurationText(int seconds) {
  if (seconds <= 0) return {};
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
  }
  return text;
}

std::string ChannelsText(const SourceFile& file) {
  if (file.InputType == kInputMp3) {
    switch (file.ChannelMode) {
      case 0:
        return "Stereo";
      case 1:
        return "J-Stereo";
      case 2:
        return "Dual Channel";
      case 3:
        return "Mono";
      default:
        return {};
    }
  }
  if (file.Channels <= 1) return "Mono";
  if (file.Channels == 2) return "Stereo";
  if (file.Channels == 6) return "5.1";
  return std::to_string(file.Channels);
}

int CompareCells(int column, const std::string& a, const std::string& b) {
  switch (SortTypeOf(column)) {
    case SortType::kNumber: {
      const long x = LeadingNumber(a);
      const long y = LeadingNumber(b);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case SortType::kTime: {
      const size_t ca = a.find(':');
      const size_t cb = b.find(':');
      if (ca == std::string::npos || cb == std::string::npos) return 0;
      const long x = LeadingNumber(a) * 60 + LeadingNumber(a, ca + 1);
      const long y = LeadingNumber(b) * 60 + LeadingNumber(b, cb + 1);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case SortType::kText:
      break;
  }
  const int order = std::strcoll(a.c_str(), b.c_str());
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

std::vector<SourceFile*> FileList::Entries() {
  std::vector<SourceFile*> entries;
  entries.reserve(rows_.size());
  for (Row& r : rows_) entries.push_back(r.file.get());
  return entries;
}

std::string FileList::CellText(int row, int column) const {
  if (row < 0 || row >= Count()) return {};
  const Row& r = rows_[static_cast<size_t>(row)];
  const SourceFile& f = *r.file;
  switch (column) {
    case kColumnFile:
      return FileNamePart(f.SourcePath);
    case kColumnDuration:
      return DurationText(f.Duration);
    case kColumnBitRate:
      return f.BitRate != 0 ? std::to_string(f.BitRate) + " kbps" : std::string();
    case kColumnFreq:
      return f.SampleRate != 0 ? std::to_string(f.SampleRate) + " Hz" : std::string();
    case kColumnChannels:
      return ChannelsText(f);
    case kColumnStatus:
      return r.status;
    default:
      return {};
  }
}

void FileList::SetStatus(int row, const std::string& text) {
  if (row >= 0 && row < Count()) rows_[static_cast<size_t>(row)].status = text;
}

FileList::Key FileList::KeyOf(const std::string& path) {
  return Key{NormalisedPath(path), IdentityNow(path)};
}

bool FileList::Listed(const Key& key) const {
  return std::any_of(rows_.begin(), rows_.end(), [&](const Row& r) {
    if (r.key.path == key.path) return true;
    // The identity taken when the row was added only points at the rows to look at again:
    // the listed file may have been deleted since and its inode given to another file.
    return key.identity && r.key.identity == key.identity &&
           IdentityNow(r.file->SourcePath) == key.identity;
  });
}

bool FileList::Contains(const std::string& path) const {
  return Listed(KeyOf(path));
}

std::optional<int> FileList::Add(const SourceFile& file) {
  Key key = KeyOf(file.SourcePath);
  if (Listed(key)) return std::nullopt;
  rows_.push_back({std::make_unique<SourceFile>(file), std::move(key), {}});
  return Count() - 1;
}

void FileList::Remove(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (*it >= 0 && *it < Count()) rows_.erase(rows_.begin() + *it);
  }
}

void FileList::Clear() {
  rows_.clear();
}

void FileList::SortBy(int column) {
  if (column < 0 || column >= kFileListColumns) return;
  ascending_ = column == sortColumn_ ? !ascending_ : true;
  sortColumn_ = column;
  std::vector<std::pair<std::string, Row>> keyed;
  keyed.reserve(rows_.size());
  for (int i = 0; i < Count(); ++i) {
    keyed.emplace_back(CellText(i, column), std::move(rows_[static_cast<size_t>(i)]));
  }
  // The cell comparison is not a strict order (hour-long durations, times without a colon),
  // so a merge sort that cannot step outside the rows is used.
  const bool ascending = ascending_;
  std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
    const int order = CompareCells(column, a.first, b.first);
    return ascending ? order < 0 : order > 0;
  });
  rows_.clear();
  for (auto& k : keyed) rows_.push_back(std::move(k.second));
}

}  // namespace sonorell
