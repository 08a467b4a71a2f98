#include "engine/encoders/mp3/mp3_tag_blocks.h"

namespace sonorell {

bool Mp3TagBlocks::SetId3v1(std::span<const uint8_t> block) {
  if (block.size() != kId3v1Bytes) return false;
  id3v1_.emplace(block.begin(), block.end());
  return true;
}

void Mp3TagBlocks::SetId3v2(std::span<const uint8_t> block) {
  if (block.empty()) {
    id3v2_.reset();
    return;
  }
  id3v2_.emplace(block.begin(), block.end());
}

bool Mp3TagBlocks::WriteId3v2(StagedOutput& out) const {
  return !id3v2_ || out.Write(id3v2_->data(), id3v2_->size());
}

bool Mp3TagBlocks::WriteId3v1(StagedOutput& out) const {
  return !id3v1_ || out.Write(id3v1_->data(), id3v1_->size());
}

}  // namespace sonorell
