#pragma once

#include <cstddef>

namespace sonorell {

// Packs one planar block into an interleaved run: frames × channels samples of sampleBytes
// bytes each, left first. right is read only for two channels; out holds the whole run.
void InterleaveBlock(const void* left, const void* right, int frames, int channels,
                     size_t sampleBytes, void* out);

}  // namespace sonorell
