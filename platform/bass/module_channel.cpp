#include "platform/bass/module_channel.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/bass/bass.h"
#include "platform/bass/bass_limits.h"
#include "platform/bass/file_bytes.h"

namespace platform::bass {
namespace {

constexpr uint32_t kChannels = 2;
constexpr uint32_t kFrameBytes = kChannels * 2;

struct ModuleDeleter {
  void operator()(openmpt_module* m) const { openmpt_module_destroy(m); }
};
using ModulePtr = std::unique_ptr<openmpt_module, ModuleDeleter>;

std::string Metadata(openmpt_module* mod, const char* key) {
  const char* value = openmpt_module_get_metadata(mod, key);
  if (!value) return {};
  std::string text(value);
  openmpt_free_string(value);
  return text;
}

ModulePtr LoadModule(const std::vector<uint8_t>& bytes, const openmpt_module_initial_ctl* ctls) {
  int error = 0;
  return ModulePtr(openmpt_module_create_from_memory2(
      bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
      nullptr, &error, nullptr, ctls));
}

// The whole module, to be played: the song ends where the tune ends, with no fade-out past
// it and no wrap to the start.
ModulePtr LoadSong(const std::vector<uint8_t>& bytes) {
  const openmpt_module_initial_ctl ctls[] = {{"play.at_end", "stop"}, {nullptr, nullptr}};
  return LoadModule(bytes, ctls);
}

// The format's own check of the module's headers over the whole file, as a load of no
// samples, patterns or plugins makes it. It tells a module from a file that only starts
// like one without setting anything up: a damaged module can declare hundreds of huge
// patterns that take seconds and a gigabyte to set up.
ModulePtr LoadHeaders(const std::vector<uint8_t>& bytes) {
  const openmpt_module_initial_ctl ctls[] = {{"load.skip_samples", "1"},
                                             {"load.skip_patterns", "1"},
                                             {"load.skip_plugins", "1"},
                                             {"load.skip_subsongs_init", "1"},
                                             {nullptr, nullptr}};
  return LoadModule(bytes, ctls);
}

class ModuleChannel final : public Channel {
 public:
  ModuleChannel(ModulePtr mod, uint32_t rate, uint64_t frames,
                std::map<std::string, std::string> tags)
      : mod_(std::move(mod)), rate_(rate), frames_(frames), tags_(std::move(tags)) {}

  uint32_t Rate() const override { return rate_; }
  uint32_t Channels() const override { return kChannels; }
  uint64_t LengthBytes() const override { return frames_ * kFrameBytes; }
  uint64_t PositionBytes() const override { return done_ * kFrameBytes; }
  std::map<std::string, std::string> Tags() const override { return tags_; }
  bool IsMusic() const override { return true; }

  int64_t GetData(void* buffer, size_t size) override {
    const uint64_t wanted = std::min<uint64_t>(size / kFrameBytes, frames_ - done_);
    if (wanted == 0) return done_ >= frames_ ? -1 : 0;
    auto* out = static_cast<int16_t*>(buffer);
    size_t got = 0;
    // The length was fixed from the song's timing before the first sample; the renderer may
    // end a few frames either side of it, so the end is padded with silence or cut there.
    while (!rendererDone_ && got < wanted) {
      const size_t n = openmpt_module_read_interleaved_stereo(
          mod_.get(), static_cast<int32_t>(rate_), static_cast<size_t>(wanted - got),
          out + got * kChannels);
      if (n == 0) rendererDone_ = true;
      got += n;
    }
    if (got < wanted) std::memset(out + got * kChannels, 0, (wanted - got) * kFrameBytes);
    done_ += wanted;
    return static_cast<int64_t>(wanted * kFrameBytes);
  }

 private:
  ModulePtr mod_;
  uint32_t rate_;
  uint64_t frames_;
  uint64_t done_ = 0;
  bool rendererDone_ = false;
  std::map<std::string, std::string> tags_;
};

}  // namespace

bool LooksLikeModule(const std::string& path) {
  const std::optional<uint64_t> size = RegularFileSize(path);
  if (!size || *size > kMaxSynthesisedFileBytes) return false;
  const auto head = ReadFileRange(path, 0, openmpt_probe_file_header_get_recommended_size());
  if (!head) return false;
  const int probe = openmpt_probe_file_header(OPENMPT_PROBE_FILE_HEADER_FLAGS_DEFAULT, head->data(),
                                              head->size(), *size, openmpt_log_func_silent, nullptr,
                                              openmpt_error_func_ignore, nullptr, nullptr, nullptr);
  if (probe != OPENMPT_PROBE_FILE_HEADER_RESULT_SUCCESS) return false;
  // The header test of the first bytes alone is loose for the oldest formats; only a module
  // whose headers check out over the whole file counts.
  std::vector<uint8_t> bytes;
  return ReadWholeFile(path, kMaxSynthesisedFileBytes, bytes) == ReadResult::kOk &&
         LoadHeaders(bytes) != nullptr;
}

std::unique_ptr<Channel> OpenModuleChannel(const std::string& path, uint32_t rate, bool ramping,
                                           int& error) {
  std::vector<uint8_t> bytes;
  switch (ReadWholeFile(path, kMaxSynthesisedFileBytes, bytes)) {
    case ReadResult::kOk:
      break;
    case ReadResult::kCannotOpen:
      error = BASS_ERROR_FILEOPEN;
      return nullptr;
    case ReadResult::kTooLarge:
      error = BASS_ERROR_FILEFORM;
      return nullptr;
  }
  ModulePtr mod = LoadSong(bytes);
  if (!mod) {
    error = BASS_ERROR_FILEFORM;
    return nullptr;
  }
  bytes = {};
  openmpt_module_set_repeat_count(mod.get(), 0);
  openmpt_module_set_render_param(mod.get(), OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH,
                                  ramping ? -1 : 0);
  // Plain 16-bit output; dither noise would make two renderings of one file differ.
  openmpt_module_ctl_set_integer(mod.get(), "dither", 0);

  const double seconds = openmpt_module_get_duration_seconds(mod.get());
  if (!std::isfinite(seconds) || seconds < 0 || seconds > kMaxSynthesisedSeconds) {
    error = BASS_ERROR_FILEFORM;
    return nullptr;
  }
  const auto frames = static_cast<uint64_t>(std::llround(seconds * rate));

  std::map<std::string, std::string> tags;
  if (std::string title = Metadata(mod.get(), "title"); !title.empty()) tags["title"] = title;
  if (std::string artist = Metadata(mod.get(), "artist"); !artist.empty()) tags["artist"] = artist;
  return std::make_unique<ModuleChannel>(std::move(mod), rate, frames, std::move(tags));
}

}  // namespace platform::bass
