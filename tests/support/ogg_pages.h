#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sonorell::testing {

// One Ogg page as it lies in the file.
struct OggPage {
  uint8_t flags = 0;  // 1 continued, 2 first, 4 last
  int64_t granule = 0;
  uint32_t serial = 0;
  uint32_t sequence = 0;
  std::vector<uint8_t> lacing;
  size_t offset = 0;  // where the page begins in the file
  size_t size = 0;    // its bytes, header included

  // Packets that end on the page.
  int Packets() const {
    int n = 0;
    for (const uint8_t value : lacing) n += value < 255 ? 1 : 0;
    return n;
  }
};

// The file's pages in order; bytes after the last whole page fail the test.
inline std::vector<OggPage> ReadOggPages(const std::string& bytes) {
  std::vector<OggPage> pages;
  size_t at = 0;
  const auto u8 = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  const auto le = [&](size_t i, int n) {
    uint64_t v = 0;
    for (int k = n - 1; k >= 0; --k) v = (v << 8) | u8(i + static_cast<size_t>(k));
    return v;
  };
  while (at + 27 <= bytes.size() && bytes.compare(at, 4, "OggS") == 0) {
    OggPage p;
    p.offset = at;
    p.flags = u8(at + 5);
    p.granule = static_cast<int64_t>(le(at + 6, 8));
    p.serial = static_cast<uint32_t>(le(at + 14, 4));
    p.sequence = static_cast<uint32_t>(le(at + 18, 4));
    const size_t segments = u8(at + 26);
    if (at + 27 + segments > bytes.size()) break;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) {
      p.lacing.push_back(u8(at + 27 + i));
      body += u8(at + 27 + i);
    }
    p.size = 27 + segments + body;
    if (at + p.size > bytes.size()) break;
    at += p.size;
    pages.push_back(std::move(p));
  }
  EXPECT_EQ(at, bytes.size()) << "bytes after the last page";
  return pages;
}

}  // namespace sonorell::testing
