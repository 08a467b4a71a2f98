#include "platform/bass/midi_channel.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/bass/bass.h"
#include "platform/bass/bass_limits.h"
#include "platform/bass/file_bytes.h"
#include "platform/bass/midi_file.h"

namespace platform::bass {
namespace {

constexpr uint32_t kChannels = 2;
constexpr uint32_t kFrameBytes = kChannels * 2;
constexpr int kRenderFrames = 1024;
// FluidSynth's own default (0.2) leaves a General MIDI song near -28 dBFS; this brings a
// typical song to about -18 dBFS and still leaves dense passages some headroom.
constexpr double kSynthGain = 0.6;

struct SettingsDeleter {
  void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};
struct SynthDeleter {
  void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
};
struct PlayerDeleter {
  void operator()(fluid_player_t* p) const { delete_fluid_player(p); }
};

// FluidSynth reports every missing preset on the terminal; a converter has no use for that.
void SilenceFluidSynth() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) {
      fluid_set_log_function(level, nullptr, nullptr);
    }
  });
}

int16_t ToInt16(float x) {
  const float scaled = std::nearbyint(x * 32768.0f);
  if (!(scaled == scaled)) return 0;
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

class MidiChannel final : public Channel {
 public:
  uint32_t Rate() const override { return rate_; }
  uint32_t Channels() const override { return kChannels; }
  uint64_t LengthBytes() const override { return frames_ * kFrameBytes; }
  uint64_t PositionBytes() const override { return done_ * kFrameBytes; }
  int64_t FileStart() const override { return 0; }
  int64_t FileEnd() const override { return fileBytes_; }
  std::map<std::string, std::string> Tags() const override { return tags_; }

  int64_t GetData(void* buffer, size_t size) override {
    const uint64_t wanted = std::min<uint64_t>(size / kFrameBytes, frames_ - done_);
    if (wanted == 0) return done_ >= frames_ ? -1 : 0;
    auto* out = static_cast<int16_t*>(buffer);
    uint64_t got = 0;
    while (got < wanted) {
      const int n = static_cast<int>(std::min<uint64_t>(wanted - got, kRenderFrames));
      if (fluid_synth_write_float(synth_.get(), n, floats_.data(), 0, 2, floats_.data(), 1, 2) !=
          FLUID_OK) {
        break;
      }
      for (int i = 0; i < n * 2; ++i) out[got * 2 + static_cast<uint64_t>(i)] = ToInt16(floats_[i]);
      got += static_cast<uint64_t>(n);
    }
    if (got == 0) return -1;
    done_ += got;
    return static_cast<int64_t>(got * kFrameBytes);
  }

  bool Start(const std::string& path, uint32_t rate, const std::vector<std::string>& fonts,
             int& error) {
    std::vector<uint8_t> bytes;
    switch (ReadWholeFile(path, kMaxSynthesisedFileBytes, bytes)) {
      case ReadResult::kOk:
        break;
      case ReadResult::kCannotOpen:
        error = BASS_ERROR_FILEOPEN;
        return false;
      case ReadResult::kTooLarge:
        error = BASS_ERROR_FILEFORM;
        return false;
    }
    fileBytes_ = static_cast<int64_t>(bytes.size());
    const std::optional<MidiSong> song = ParseMidiFile(bytes);
    if (!song || !std::isfinite(song->seconds) || song->seconds > kMaxSynthesisedSeconds) {
      error = BASS_ERROR_FILEFORM;
      return false;
    }
    rate_ = rate;
    frames_ = static_cast<uint64_t>(std::llround(song->seconds * rate));
    if (!song->title.empty()) tags_["title"] = song->title;
    if (!song->copyright.empty()) tags_["copyright"] = song->copyright;

    SilenceFluidSynth();
    settings_.reset(new_fluid_settings());
    if (!settings_) {
      error = BASS_ERROR_MEM;
      return false;
    }
    fluid_settings_setnum(settings_.get(), "synth.sample-rate", rate);
    fluid_settings_setnum(settings_.get(), "synth.gain", kSynthGain);
    fluid_settings_setint(settings_.get(), "synth.lock-memory", 0);
    fluid_settings_setint(settings_.get(), "synth.cpu-cores", 1);
    // The player follows the rendered samples, not the wall clock, so decoding runs as fast
    // as the synthesiser can go.
    fluid_settings_setstr(settings_.get(), "player.timing-source", "sample");
    synth_.reset(new_fluid_synth(settings_.get()));
    if (!synth_) {
      error = BASS_ERROR_MEM;
      return false;
    }
    // The last font loaded is searched first, so the list goes in from its end.
    for (auto it = fonts.rbegin(); it != fonts.rend(); ++it) {
      if (fluid_synth_sfload(synth_.get(), it->c_str(), 1) == FLUID_FAILED) {
        error = BASS_ERROR_FILEFORM;
        return false;
      }
    }
    player_.reset(new_fluid_player(synth_.get()));
    if (!player_ ||
        fluid_player_add_mem(player_.get(), song->file.data(), song->file.size()) != FLUID_OK ||
        fluid_player_play(player_.get()) != FLUID_OK) {
      error = BASS_ERROR_MEM;
      return false;
    }
    floats_.resize(kRenderFrames * 2);
    return true;
  }

 private:
  // Declared in the order they are built; they go in reverse (player, synth, settings).
  std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
  std::unique_ptr<fluid_synth_t, SynthDeleter> synth_;
  std::unique_ptr<fluid_player_t, PlayerDeleter> player_;
  std::vector<float> floats_;
  uint32_t rate_ = 0;
  uint64_t frames_ = 0;
  uint64_t done_ = 0;
  int64_t fileBytes_ = -1;
  std::map<std::string, std::string> tags_;
};

}  // namespace

bool IsSoundFont(const std::string& path) {
  SilenceFluidSynth();
  return RegularFileSize(path).has_value() && fluid_is_soundfont(path.c_str()) != 0;
}

std::unique_ptr<Channel> OpenMidiChannel(const std::string& path, uint32_t rate,
                                         const std::vector<std::string>& soundFonts, int& error) {
  if (rate < kMinMidiRate || rate > kMaxMidiRate) {
    error = BASS_ERROR_ILLPARAM;
    return nullptr;
  }
  if (soundFonts.empty()) {
    error = BASS_ERROR_NOTAVAIL;  // nothing to play the notes with
    return nullptr;
  }
  auto channel = std::make_unique<MidiChannel>();
  if (!channel->Start(path, rate, soundFonts, error)) return nullptr;
  return channel;
}

}  // namespace platform::bass
