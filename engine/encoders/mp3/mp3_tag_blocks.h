#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/encoders/staged_output.h"

namespace sonorell {

// The ID3 tags of one MP3 file as they are placed around its audio: the ID3v2 tag before
// the first frame, the ID3v1 tag after the last.
class Mp3TagBlocks {
 public:
  static constexpr size_t kId3v1Bytes = 128;

  // Copies the block. An ID3v1 block is taken only when it is exactly 128 bytes (false
  // otherwise); an empty ID3v2 block drops the tag.
  bool SetId3v1(std::span<const uint8_t> block);
  void SetId3v2(std::span<const uint8_t> block);

  // Appends the tag, when there is one. False when the write fails (its reason is the
  // failure note).
  bool WriteId3v2(StagedOutput& out) const;
  bool WriteId3v1(StagedOutput& out) const;

 private:
  std::optional<std::vector<uint8_t>> id3v1_;
  std::optional<std::vector<uint8_t>> id3v2_;
};

}  // namespace sonorell
