#include "engine/encoders/opus/opus_chunk_joiner.h"

#include "engine/encoders/encoder_failure.h"
#include "engine/encoders/opus/opus_header_packets.h"

namespace sonorell {
namespace {

// libopusenc's muxing delay: a page ends once it holds this much audio (48 kHz samples).
constexpr int64_t kPageSamples = kOpusStreamRate;
constexpr int kMostPageSegments = 255;

int Segments(size_t bytes) {
  return static_cast<int>(bytes / 255) + 1;
}

}  // namespace

OpusChunkJoiner::OpusChunkJoiner(StagedOutput& out, int serial, int rate, OpusPackets header)
    : pages_(out, serial, OggFlushFill::kFullPages), rate_(rate), header_(std::move(header)) {}

int64_t OpusChunkJoiner::FrameAt(int64_t position) const {
  return OpusPacketsBefore(position, rate_);
}

int64_t OpusChunkJoiner::FirstFrame(const ChunkSpan& span) const {
  return FrameAt(span.inputStart);
}

bool OpusChunkJoiner::WriteHeader() {
  headerWritten_ = true;
  if (!IsOpusHeaderPair(header_)) return false;
  for (size_t i = 0; i < kOpusHeaderPackets; ++i) {
    if (!pages_.Add(header_[i].data(), header_[i].size(), 0, /*first=*/i == 0, false) ||
        !pages_.Flush()) {
      return false;
    }
  }
  return true;
}

bool OpusChunkJoiner::EndPage() {
  if (pageSegments_ == 0) return true;
  pageSegments_ = 0;
  pageGranule_ = lastGranule_;
  return pages_.Flush();
}

bool OpusChunkJoiner::AddAudio(const std::vector<uint8_t>& packet, int64_t granule, bool last) {
  const int segments = Segments(packet.size());
  if (pageSegments_ + segments > kMostPageSegments || granule - pageGranule_ > kPageSamples) {
    if (!EndPage()) return false;
  }
  if (!pages_.Add(packet.data(), packet.size(), granule, false, last)) return false;
  pageSegments_ += segments;
  lastGranule_ = granule;
  return (last || granule - pageGranule_ >= kPageSamples) ? EndPage() : true;
}

bool OpusChunkJoiner::Emit(std::vector<uint8_t>& unit, int64_t frame) {
  if (!headerWritten_ && !WriteHeader()) return false;
  // The packets come in stream order from 0, none left out.
  if (frame != received_) {
    NoteEncoderFailure("Opus", EncoderFailure::kOnTheAudio);
    return false;
  }
  if (received_ > 0 && !AddAudio(held_, received_ * kOpusFrameSamples, false)) return false;
  held_ = std::move(unit);
  ++received_;
  return true;
}

bool OpusChunkJoiner::Close(int64_t totalFrames, int64_t framesEmitted) {
  // The stream ends where a single-pass encoder ends it: the pre-skip and the input's length
  // at 48 kHz, rounded up, in the packet that reaches it.
  const std::optional<int> preSkip = header_.empty() ? std::nullopt : OpusPreSkip(header_[0]);
  const int64_t rateSamples = static_cast<int64_t>(rate_);
  const int64_t end =
      preSkip.value_or(0) + (totalFrames * kOpusStreamRate + rateSamples - 1) / rateSamples;
  const bool whole = preSkip && framesEmitted == received_ && received_ > 0 &&
                     (received_ - 1) * kOpusFrameSamples < end &&
                     end <= received_ * kOpusFrameSamples;
  if (!whole) {
    NoteEncoderFailure("Opus", EncoderFailure::kAtTheEnd);
    return false;
  }
  return AddAudio(held_, end, /*last=*/true);
}

}  // namespace sonorell
