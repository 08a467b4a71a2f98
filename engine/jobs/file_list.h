#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/jobs/source_file.h"

namespace sonorell {

// The columns of the file list.
enum FileListColumn : int {
  kColumnFile = 0,
  kColumnDuration = 1,
  kColumnBitRate = 2,
  kColumnFreq = 3,
  kColumnChannels = 4,
  kColumnStatus = 5,
};
inline constexpr int kFileListColumns = 6;
inline constexpr int StatusColumn = kColumnStatus;

struct FileListColumnInfo {
  const char* header;
  bool rightAligned;
  int width;  // pixels
};
// Header, alignment and first width of each column, in column order.
const FileListColumnInfo& ColumnInfo(int column);

// "1:02:05" from 3600 seconds on, "00:59" below, blank for 0.
std::string DurationText(int seconds);
// "Stereo", "J-Stereo", "Dual Channel", "Mono" by MPEG channel mode for MP3 inputs;
// otherwise "Mono" (0 or 1 channel), "Stereo", "5.1" or the count.
std::string ChannelsText(const SourceFile& file);

// The file an existing path names: its device and inode.
struct FileListIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileListIdentity&) const = default;
};

// The rows of the main window's list: one SourceFile each, with its Status text, and the
// set of paths already listed (so a file is listed once). Paths are compared as the file
// system compares them at the moment of asking: the same normalised path, or the same
// existing file (links and other spellings of its path meet).
class FileList {
 public:
  int Count() const { return static_cast<int>(rows_.size()); }
  bool Empty() const { return rows_.empty(); }
  SourceFile& Entry(int row) { return *rows_[static_cast<size_t>(row)].file; }
  const SourceFile& Entry(int row) const { return *rows_[static_cast<size_t>(row)].file; }
  // Every entry in row order, for a conversion run.
  std::vector<SourceFile*> Entries();

  // The text of one cell (the Status cell as the run left it).
  std::string CellText(int row, int column) const;
  void SetStatus(int row, const std::string& text);

  // True when the path, or another path of the same file, is listed.
  bool Contains(const std::string& path) const;
  // Appends a row; returns its index, or nullopt when the file is already listed.
  std::optional<int> Add(const SourceFile& file);
  // Removes the given rows (any order, repeats ignored); the files may be listed again.
  void Remove(std::vector<int> rows);
  void Clear();

  // Sorts by a column: ascending on the first click of a column, reversed on a further
  // click of the same one. Equal rows keep their order.
  void SortBy(int column);
  int SortColumn() const { return sortColumn_; }
  bool SortAscending() const { return ascending_; }

 private:
  struct Key {
    std::string path;                          // absolute and normal
    std::optional<FileListIdentity> identity;  // when the path names an existing file
  };
  struct Row {
    std::unique_ptr<SourceFile> file;
    Key key;  // as taken when the row was added
    std::string status;
  };
  static Key KeyOf(const std::string& path);
  bool Listed(const Key& key) const;

  std::vector<Row> rows_;
  int sortColumn_ = -1;
  bool ascending_ = true;
};

// How the list compares two cells of a column: text (locale order, case-sensitive),
// number (the leading decimal number, blank as 0) or time ("m:ss", minutes × 60 plus
// seconds; equal when either has no colon). Negative, 0 or positive.
int CompareCells(int column, const std::string& a, const std::string& b);

}  // namespace sonorell
