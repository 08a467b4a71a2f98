#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/unique_fd.h"

namespace sonorell {

// An output file written under a temporary name in the target's folder and renamed over
// the target only when it is complete. A failed or cancelled encode therefore never leaves
// a half file under the target name and never loses a file the user already had there.
// The first failed write (a full disk, a removed folder) is remembered and makes Commit
// fail.
class StagedOutput {
 public:
  StagedOutput() = default;
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;
  ~StagedOutput();  // discards an uncommitted file

  // Creates the temporary file beside targetPath. False when the folder takes no new file.
  bool Open(const std::string& targetPath);
  bool IsOpen() const { return fd_.valid(); }

  // Appends bytes at the end. False once any write has failed.
  bool Write(const void* data, size_t size);
  // Overwrites bytes already written (header fields patched at the end).
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  // Bytes written so far.
  uint64_t Size() const { return size_; }
  bool Failed() const { return failed_; }
  // Marks the output as failed for a reason found by its writer (an encoder error).
  void MarkFailed() { failed_ = true; }

  // For libraries that open the output by path themselves: our handle is closed and the
  // temporary file stays reserved for them; the library writes TempPath().
  void HandOverToLibrary();
  const std::string& TempPath() const { return tempPath_; }

  // Flushes, syncs the file to disk and renames it over the target, then syncs the folder
  // (where the file system can). Refuses to replace a file that is the same file as
  // protectedPath (the source), and a file that appeared under the target name after Open
  // (only one that was already there may be replaced). False on any failure, with its
  // reason as the failure note; the temporary file is gone.
  bool Commit(const std::string& protectedPath);
  // Removes the temporary file; the target is untouched.
  void Discard();

 private:
  bool FlushBuffer();
  // Remembers the first failed write, with its reason as the failure note.
  void NoteWriteFailure();
  void CloseHandle();

  platform::UniqueFd fd_;
  bool failed_ = false;
  uint64_t size_ = 0;
  std::string targetPath_;
  bool replacesTarget_ = false;  // something was at the target name when it was opened
  std::string tempPath_;
  std::vector<uint8_t> buffer_;
};

}  // namespace sonorell
