#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace sonorell {

// A file opened for reading by one decoder: buffered, binary, closed with its owner.
// Reads report how many bytes arrived, so a truncated file simply ends early.
class InputFile {
 public:
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Reads up to size bytes; returns the count read (short at the end of the file).
  size_t Read(void* buffer, size_t size);
  // Reads exactly size bytes or fails.
  bool ReadExact(void* buffer, size_t size) { return Read(buffer, size) == size; }
  // Moves forward by count bytes, possibly past the end (later reads then return 0).
  bool Skip(uint64_t count);
  bool Seek(uint64_t offset);
  // Steps back over bytes just read.
  bool Unread(uint64_t count);
  uint64_t Tell() const;
  // Size of the file on disk, 0 when it cannot be told.
  uint64_t Size() const { return size_; }

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  uint64_t size_ = 0;
};

}  // namespace sonorell
