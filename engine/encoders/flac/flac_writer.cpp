#include "engine/encoders/flac/flac_writer.h"

#include <algorithm>
#include <cstdlib>

#include "engine/encoders/encoder_failure.h"
#include "engine/encoders/tags/flac_picture_block.h"

namespace sonorell {
namespace {

constexpr int kSeekPointSeconds = 10;
// A source that states an absurd length (a damaged header) must not make a table of
// gigabytes: beyond this many points they are spaced further apart.
constexpr uint64_t kMostSeekPoints = 32768;
// "fLaC", then STREAMINFO (a 4-byte block header and 34 bytes), then the seek table's header.
constexpr uint64_t kSeekPointsOffset = 4 + 4 + 34 + 4;
constexpr uint64_t kSeekPointBytes = 18;

}  // namespace

bool ConfigureFlacEncoder(FLAC__StreamEncoder* e, const PcmFormat& f, int level) {
  bool ok =
      FLAC__stream_encoder_set_channels(e, static_cast<uint32_t>(f.channels)) &&
      FLAC__stream_encoder_set_bits_per_sample(e, static_cast<uint32_t>(f.bits)) &&
      FLAC__stream_encoder_set_sample_rate(e, static_cast<uint32_t>(f.rate)) &&
      FLAC__stream_encoder_set_compression_level(e, static_cast<uint32_t>(std::clamp(level, 0, 8)));
  // Rates beyond what the streamable subset names still make valid files.
  if (ok && f.rate > 655350) ok = FLAC__stream_encoder_set_streamable_subset(e, false);
  return ok;
}

void FlacPlanes(const PcmFormat& format, const void* left, const void* right, int frames,
                std::vector<int32_t>& wideLeft, std::vector<int32_t>& wideRight,
                const FLAC__int32* planes[2]) {
  planes[0] = static_cast<const int32_t*>(left);
  planes[1] = static_cast<const int32_t*>(right);
  if (format.bits != 16) return;
  // libFLAC takes every width in 32-bit cells.
  const auto n = static_cast<size_t>(frames);
  if (wideLeft.size() < n) wideLeft.resize(n);
  const auto* l = static_cast<const int16_t*>(left);
  std::copy(l, l + frames, wideLeft.begin());
  planes[0] = wideLeft.data();
  if (format.channels == 2) {
    if (wideRight.size() < n) wideRight.resize(n);
    const auto* r = static_cast<const int16_t*>(right);
    std::copy(r, r + frames, wideRight.begin());
    planes[1] = wideRight.data();
  }
}

FlacWriter::~FlacWriter() {
  // Deleting an unfinished encoder makes libFLAC finish the stream; the file is dropped
  // anyway, so nothing more is written.
  closing_ = true;
}

bool FlacWriter::Open(const FlacStreamSetup& setup) {
  if (open_) return false;
  const PcmFormat& f = setup.format;
  if (f.rate <= 0 || (f.channels != 1 && f.channels != 2) || (f.bits != 16 && f.bits != 24)) {
    return false;
  }
  encoder_.reset(FLAC__stream_encoder_new());
  if (!encoder_) return false;
  FLAC__StreamEncoder* e = encoder_.get();
  // libFLAC signs the audio with its MD5 by default.
  bool ok = ConfigureFlacEncoder(e, f, setup.level);
  if (ok && setup.totalFrames > 0) {
    // STREAMINFO holds 36 bits of it until Finish writes the real count.
    ok = FLAC__stream_encoder_set_total_samples_estimate(
        e, std::min<uint64_t>(setup.totalFrames, (uint64_t{1} << 36) - 1));
  }
  if (!ok) return false;

  std::vector<FLAC__StreamMetadata*> blocks;
  const uint64_t spacing =
      std::max<uint64_t>(static_cast<uint64_t>(kSeekPointSeconds) * static_cast<uint64_t>(f.rate),
                         setup.totalFrames / kMostSeekPoints + 1);
  if (setup.totalFrames > 0 && spacing <= UINT32_MAX) {
    seekTable_.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE));
    if (!seekTable_ || !FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
                           seekTable_.get(), static_cast<uint32_t>(spacing), setup.totalFrames)) {
      return false;
    }
    blocks.push_back(seekTable_.get());
  }
  if (!MakeTagBlocks(setup, blocks)) return false;
  if (!FLAC__stream_encoder_set_metadata(e, blocks.data(), static_cast<uint32_t>(blocks.size()))) {
    return false;
  }
  format_ = f;
  if (FLAC__stream_encoder_init_stream(e, OnWrite, OnSeek, OnTell, nullptr, this) !=
      FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    return false;
  }
  open_ = true;
  return !out_.Failed();
}

bool FlacWriter::MakeTagBlocks(const FlacStreamSetup& setup,
                               std::vector<FLAC__StreamMetadata*>& blocks) {
  comments_.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
  if (!comments_) return false;
  for (const CommentField& field : setup.comments) {
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    if (!FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, field.name,
                                                                        field.value.c_str())) {
      return false;
    }
    if (!FLAC__metadata_object_vorbiscomment_append_comment(comments_.get(), entry,
                                                            /*copy=*/false)) {
      std::free(entry.entry);  // still ours when it was not taken
      return false;
    }
  }
  blocks.push_back(comments_.get());
  if (setup.picture) {
    const PictureBlockFields fields = FlacPictureFields(*setup.picture);
    picture_.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE));
    if (!picture_) return false;
    FLAC__StreamMetadata_Picture& p = picture_->data.picture;
    p.type = static_cast<FLAC__StreamMetadata_Picture_Type>(fields.type);
    p.width = fields.shape.width;
    p.height = fields.shape.height;
    p.depth = fields.shape.depth;
    p.colors = fields.shape.colours;
    auto* description =
        reinterpret_cast<FLAC__byte*>(const_cast<char*>(fields.description.c_str()));
    auto* data = reinterpret_cast<FLAC__byte*>(const_cast<char*>(setup.picture->data.data()));
    if (!FLAC__metadata_object_picture_set_mime_type(picture_.get(),
                                                     const_cast<char*>(fields.mime.c_str()),
                                                     /*copy=*/true) ||
        !FLAC__metadata_object_picture_set_description(picture_.get(), description,
                                                       /*copy=*/true) ||
        !FLAC__metadata_object_picture_set_data(
            picture_.get(), data, static_cast<FLAC__uint32>(setup.picture->data.size()),
            /*copy=*/true)) {
      return false;
    }
    blocks.push_back(picture_.get());
  }
  if (setup.padding > 0) {
    padding_.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING));
    if (!padding_) return false;
    padding_->length = setup.padding;
    blocks.push_back(padding_.get());
  }
  return true;
}

bool FlacWriter::Put(const uint8_t* bytes, size_t size) {
  // Appends go through the output's buffer; libFLAC's rewrites of its headers at the end
  // land on bytes already written.
  const uint64_t end = out_.Size();
  bool ok = true;
  if (position_ >= end) {
    ok = position_ == end && out_.Write(bytes, size);
  } else {
    const size_t inside = static_cast<size_t>(std::min<uint64_t>(size, end - position_));
    ok = out_.WriteAt(position_, bytes, inside) &&
         (inside == size || out_.Write(bytes + inside, size - inside));
  }
  position_ += size;
  return ok;
}

FLAC__StreamEncoderWriteStatus FlacWriter::OnWrite(const FLAC__StreamEncoder*,
                                                   const FLAC__byte buffer[], size_t bytes,
                                                   uint32_t, uint32_t, void* self) {
  auto& writer = *static_cast<FlacWriter*>(self);
  if (writer.closing_ || !writer.Put(buffer, bytes)) {
    return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
  }
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus FlacWriter::OnSeek(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                                 void* self) {
  auto& writer = *static_cast<FlacWriter*>(self);
  if (writer.closing_ || offset > writer.out_.Size()) return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
  writer.position_ = offset;
  return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus FlacWriter::OnTell(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                                 void* self) {
  *offset = static_cast<const FlacWriter*>(self)->position_;
  return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool FlacWriter::WritePcm(const void* left, const void* right, int frames) {
  if (!open_ || closing_ || left == nullptr || (format_.channels == 2 && right == nullptr)) {
    return false;
  }
  if (frames <= 0) return true;
  const FLAC__int32* planes[2];
  FlacPlanes(format_, left, right, frames, left_, right_, planes);
  if (!FLAC__stream_encoder_process(encoder_.get(), planes, static_cast<uint32_t>(frames))) {
    if (!out_.Failed()) NoteEncoderFailure("FLAC", EncoderFailure::kOnTheAudio);
    return false;
  }
  return true;
}

bool FlacWriter::Finish() {
  if (!open_ || closing_) return false;
  const bool ok = FLAC__stream_encoder_finish(encoder_.get());
  closing_ = true;
  if (!ok && !out_.Failed()) NoteEncoderFailure("FLAC", EncoderFailure::kAtTheEnd);
  return ok && MarkUnusedSeekPoints() && !out_.Failed();
}

bool FlacWriter::MarkUnusedSeekPoints() {
  // The points were laid out for the length known beforehand; those the audio did not reach
  // (a source shorter than it stated) would send a player to the first frame. libFLAC filled
  // the used ones in our table object; the rest become placeholders, which sort last.
  if (!seekTable_) return true;
  const FLAC__StreamMetadata_SeekTable& table = seekTable_->data.seek_table;
  static constexpr uint8_t kPlaceholder[kSeekPointBytes] = {0xFF, 0xFF, 0xFF, 0xFF,
                                                            0xFF, 0xFF, 0xFF, 0xFF};
  for (uint32_t i = 0; i < table.num_points; ++i) {
    if (table.points[i].frame_samples != 0) continue;
    if (!out_.WriteAt(kSeekPointsOffset + i * kSeekPointBytes, kPlaceholder, kSeekPointBytes)) {
      return false;
    }
  }
  return true;
}

bool FlacWriter::AppendFrame(const std::vector<uint8_t>& frame) {
  if (!open_ || closing_ || frame.empty()) return false;
  if (frameOffsets_.empty()) framesStart_ = out_.Size();
  frameOffsets_.push_back(out_.Size() - framesStart_);
  const auto size = static_cast<uint32_t>(std::min<size_t>(frame.size(), UINT32_MAX));
  smallestFrame_ = smallestFrame_ == 0 ? size : std::min(smallestFrame_, size);
  largestFrame_ = std::max(largestFrame_, size);
  position_ = out_.Size() + frame.size();
  return out_.Write(frame.data(), frame.size());
}

bool FlacWriter::FinishFrames(uint32_t blockSize, uint64_t totalSamples,
                              const std::array<uint8_t, 16>& md5) {
  if (!open_ || closing_ || blockSize == 0) return false;
  // libFLAC writes nothing more: the headers below are ours.
  closing_ = true;
  // STREAMINFO: block sizes (16 bits each), frame sizes (24 bits each), rate (20 bits),
  // channels - 1 (3), bits - 1 (5), total samples (36), MD5.
  uint8_t info[34] = {};
  const auto put = [&info](int at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, value >>= 8) info[at + i] = static_cast<uint8_t>(value);
  };
  put(0, blockSize, 2);  // the last block, which may be shorter, does not count
  put(2, blockSize, 2);
  put(4, smallestFrame_, 3);
  put(7, largestFrame_, 3);
  const uint64_t packed = (static_cast<uint64_t>(format_.rate) << 44) |
                          (static_cast<uint64_t>(format_.channels - 1) << 41) |
                          (static_cast<uint64_t>(format_.bits - 1) << 36) |
                          (totalSamples & ((uint64_t{1} << 36) - 1));
  put(10, packed, 8);
  std::copy(md5.begin(), md5.end(), info + 18);
  if (!out_.WriteAt(8, info, sizeof info)) return false;
  if (seekTable_) {
    // Every point of the table laid out beforehand goes to the frame that holds its
    // sample; points past the end become placeholders, which sort last.
    const FLAC__StreamMetadata_SeekTable& table = seekTable_->data.seek_table;
    for (uint32_t i = 0; i < table.num_points; ++i) {
      uint8_t point[kSeekPointBytes];
      const uint64_t target = table.points[i].sample_number;
      const uint64_t frame = target / blockSize;
      if (target >= totalSamples || frame >= frameOffsets_.size()) {
        std::fill(point, point + 8, 0xFF);
        std::fill(point + 8, point + kSeekPointBytes, 0);
      } else {
        const uint64_t first = frame * blockSize;
        const uint64_t samples = std::min<uint64_t>(blockSize, totalSamples - first);
        for (int b = 0; b < 8; ++b) {
          point[b] = static_cast<uint8_t>(first >> (56 - 8 * b));
          point[8 + b] = static_cast<uint8_t>(frameOffsets_[frame] >> (56 - 8 * b));
        }
        point[16] = static_cast<uint8_t>(samples >> 8);
        point[17] = static_cast<uint8_t>(samples);
      }
      if (!out_.WriteAt(kSeekPointsOffset + i * kSeekPointBytes, point, kSeekPointBytes)) {
        return false;
      }
    }
  }
  return !out_.Failed();
}

}  // namespace sonorell
