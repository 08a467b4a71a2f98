#pragma once

#include <array>

namespace sonorell::channel_choice {

// The "Channels:" radios of the pages that store a channel count (WAV, Ogg, FLAC, Opus):
// Stereo, Mono, Same as original file, against the stored counts 2, 1 and 0.
inline constexpr std::array<const char*, 3> kTexts{"&Stereo", "&Mono", "Same as &original file"};
inline constexpr int kStereo = 0;
inline constexpr int kMono = 1;
inline constexpr int kSameAsOriginal = 2;

// The radio a stored count shows as; counts of no radio show as "Same as original file".
constexpr int ChannelChoiceOf(int channels) {
  if (channels == 2) return kStereo;
  if (channels == 1) return kMono;
  return kSameAsOriginal;
}

// The count a radio stores: 2, 1, or 0 for the source's own.
constexpr int ChannelCountOf(int choice) {
  if (choice == kStereo) return 2;
  if (choice == kMono) return 1;
  return 0;
}

}  // namespace sonorell::channel_choice
