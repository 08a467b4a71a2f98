#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/sources/audio_source.h"
#include "platform/bass/bass.h"

namespace sonorell {

// The decoder tried first for most inputs: MP3 and the other compressed formats through
// the BASS library and its plug-ins, tracker modules and MIDI rendered at the caller's
// rate. Length and position count bytes of decoded PCM in the channel's own format.
class BassSource : public AudioSource {
 public:
  // What the open file is, from its extension (modules: the stream creation failed).
  enum class Kind { kGeneral = 0, kMp3 = 1, kModule = 2, kMidi = 3 };

  BassSource() = default;
  ~BassSource() override;

  void Close() override;
  bool Open(const std::string& path, int renderingRate) override;
  int Read(void* left, void* right) override;

  uint64_t GetPosition() const override;
  const uint8_t* GetId3v1Tag() const override;
  const uint8_t* GetId3v2Tag(size_t& size) const override;
  bool ReadTags(std::string& title, std::string& artist, std::string& album, std::string& year,
                std::string& genre, std::string& comment, std::string& track, std::string& composer,
                std::string& copyright) override;

  Kind GetKind() const { return kind_; }
  // The library's channel handle, 0 when closed.
  platform::DWORD GetHandle() const { return handle_; }

  // Samples asked for per Read: the most whole frames that fit two output channels' worth
  // of BlockFrames, so that 5-, 7- or 9-channel input never splits a frame between calls.
  static int SamplesPerRequest(int channels);

 private:
  static Kind KindFromPath(const std::string& path);
  void ReadChannelMode(const std::string& path);
  // Read's answer when the library has no more data: 0, with the reason it ended.
  int Ended();

  platform::DWORD handle_ = 0;
  std::vector<uint8_t> buffer_;  // interleaved PCM of two or more channels
  mutable std::optional<std::array<uint8_t, 128>> id3v1_;
  mutable std::vector<uint8_t> id3v2_;
  Kind kind_ = Kind::kGeneral;
  std::string path_;
};

// Loads the decoder plug-ins from the "addons/" folder beside the program, in the order the
// library expects them, ignoring the ones that fail; the number loaded.
int LoadBassPlugins();

}  // namespace sonorell
