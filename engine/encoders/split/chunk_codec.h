#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/encoders/split/split_grid.h"

namespace sonorell {

// The audio one chunk's encoder is given, in writer-input frames of the whole file.
struct ChunkSpan {
  int index = 0;
  int64_t inputStart = 0;  // where its encoder's input begins: keepStart less the lead
  int64_t keepStart = 0;   // where the chunk's own audio begins: index × chunkFrames
  int64_t keepEnd = 0;     // where the next chunk's own audio begins
  int64_t inputEnd = 0;  // where its encoder's input ends: keepEnd and the tail, or the file's end
};

// What one chunk's encoder made, for the joiner.
struct EncodedChunk {
  ChunkSpan span;
  // The codec's frames or packets in stream order, unit 0 the first its encoder made.
  std::vector<std::vector<uint8_t>> units;
  // What else of the encoder's stream the format keeps (its header pages, say), and one
  // number of its own (the end position its encoder wrote, say).
  std::vector<uint8_t> head;
  int64_t value = 0;
};

// Encodes one chunk on a worker thread: a fresh encoder of the format's options, which
// takes the chunk's input and hands over everything it made. Never touches the output file.
class ChunkEncoder {
 public:
  virtual ~ChunkEncoder() = default;
  // Blocks as the writer takes them (planar cells of the writer's width).
  virtual bool Write(const void* left, const void* right, int frames) = 0;
  // Flushes the encoder into chunk.units (and head, value). False fails the file.
  virtual bool Finish(EncodedChunk& chunk) = 0;
};

// Opens a chunk's encoder; called on worker threads, several at a time. Null fails the file.
using ChunkEncoderFactory = std::function<std::unique_ptr<ChunkEncoder>(const ChunkSpan& span)>;

// Joins the encoded chunks, in order, into the output file on the writer's thread.
class ChunkJoiner {
 public:
  virtual ~ChunkJoiner() = default;
  // The next chunk in order. False fails the file.
  virtual bool Join(EncodedChunk chunk) = 0;
  // After the last chunk: completes the file for totalFrames writer-input frames.
  virtual bool Finish(int64_t totalFrames) = 0;
};

// What an output format provides to be encoded on several cores.
struct SplitFormat {
  SplitGrid grid;
  ChunkEncoderFactory openEncoder;
  std::unique_ptr<ChunkJoiner> joiner;
  // When set, sees the whole audio once, in order, on the writer's thread (what a format
  // signs or measures over the whole stream).
  std::function<void(const void* left, const void* right, int frames)> watch;
};

}  // namespace sonorell
