#pragma once

#include <opus/opusenc.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/encoders/opus/opus_parameters.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"

namespace sonorell {

// The rate every Opus stream decodes at, and the samples (at that rate) of each packet
// libopusenc makes: its 20 ms frames, which the options do not change.
inline constexpr int kOpusStreamRate = 48000;
inline constexpr int kOpusFrameSamples = 960;

// Whole packets of the stream before the input's frame position at rate: the stream's
// sample 0 is the input's frame 0 at 48 kHz.
inline int64_t OpusPacketsBefore(int64_t position, int rate) {
  return position * kOpusStreamRate / (static_cast<int64_t>(rate) * kOpusFrameSamples);
}

// Opus packets in stream order, each as libopusenc made it.
using OpusPackets = std::vector<std::vector<uint8_t>>;

// libopusenc with the Opus options of the run: one Ogg Opus stream at 48 kHz. It takes 16-bit
// PCM at the source's rate and resamples it itself, as opusenc does, so the stream's header
// keeps the source's rate, and the pre-skip and the end trimming count the resampler's delay.
// Its pages go to the callbacks given to Open. Every file's encoder, and every encoder of a
// file encoded on several cores, is set up here, so that all of them make the same stream.
class OggOpusEncoder {
 public:
  OggOpusEncoder() = default;
  OggOpusEncoder(const OggOpusEncoder&) = delete;
  OggOpusEncoder& operator=(const OggOpusEncoder&) = delete;

  // Creates the encoder for rate and channels (1 or 2) with the comments (OggCommentFields),
  // the stream serial and the options, and room after the comments for gains written later.
  // False, with a failure note, when libopusenc refuses any of them.
  bool Open(const OpusEncCallbacks& callbacks, void* output, int rate, int channels,
            const OpusParameters& parameters, int serial,
            const std::vector<CommentField>& comments);

  // As Open, for an encoder whose output is its packets: its pages are dropped, and every
  // packet it makes, the two header packets (OpusHead, OpusTags) first, is appended to
  // packets, which must outlive the encoder's use. The audio packet numbered keyframe (from
  // 0; none when negative) is made with libopus' prediction off, so that a decoder needs
  // nothing from the packets before it to decode it.
  bool OpenForPackets(OpusPackets& packets, int64_t keyframe, int rate, int channels,
                      const OpusParameters& parameters, int serial,
                      const std::vector<CommentField>& comments);

  // Writes the header pages now, before any audio.
  bool FlushHeader();
  // 16-bit planar frames; the right buffer only for two channels.
  bool Write(const void* left, const void* right, int frames);
  // Encodes what libopusenc still holds and writes the last page, end trimming included.
  bool Drain();

 private:
  struct FreeEncoder {
    void operator()(OggOpusEnc* encoder) const { ope_encoder_destroy(encoder); }
  };
  struct FreeComments {
    void operator()(OggOpusComments* comments) const { ope_comments_destroy(comments); }
  };

  // What the packet callback works with.
  struct PacketSink {
    OpusPackets* packets = nullptr;
    OggOpusEnc* encoder = nullptr;
    int64_t keyframe = -1;
  };
  static void TakePacket(void* sink, const unsigned char* data, opus_int32 size, opus_uint32 flags);

  PacketSink sink_;
  std::unique_ptr<OggOpusComments, FreeComments> comments_;
  std::unique_ptr<OggOpusEnc, FreeEncoder> encoder_;
  int channels_ = 0;
  bool drained_ = false;
  std::vector<opus_int16> interleaved_;
};

}  // namespace sonorell
