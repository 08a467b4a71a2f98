#include "platform/amr/amr_encoders.h"

#include <fcntl.h>
#include <opencore-amrnb/interf_enc.h>
#include <unistd.h>
#include <vo-amrwbenc/enc_if.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <utility>

#include "platform/files/unique_fd.h"
#include "platform/files/write_all.h"

namespace platform {
namespace {

constexpr char kNbMagic[] = "#!AMR\n";
constexpr char kWbMagic[] = "#!AMR-WB\n";

// The largest storage-format frame each codec can produce: the 12.2 and 23.85 kbit/s
// payloads plus their header byte. Anything longer means the encoder went wrong.
constexpr int kNbMaxFrameBytes = 32;
constexpr int kWbMaxFrameBytes = 61;
// Room well beyond either, so a misbehaving encoder cannot write past our buffer.
constexpr size_t kScratchBytes = 512;

constexpr int kWbModeCount = 9;
constexpr size_t kNbFrameSamples = 160;
constexpr size_t kWbFrameSamples = 320;

struct NbStateCloser {
  void operator()(void* state) const { Encoder_Interface_exit(state); }
};
struct WbStateCloser {
  void operator()(void* state) const { E_IF_exit(state); }
};

// The output file, created (or emptied) and started with the storage-format magic.
// Invalid when it cannot be created or the magic cannot be written.
UniqueFd CreateOutput(const char* path, const char* magic, size_t magicSize) {
  if (path == nullptr || *path == '\0') return UniqueFd();
  UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.valid() || !WriteAll(fd.get(), magic, magicSize)) return UniqueFd();
  return fd;
}

// Syncs and closes; a write the kernel could only fail late (a full disk, a network
// folder) surfaces here. Files that cannot be synced at all (pipes, devices) pass.
bool FinishFile(UniqueFd& fd) {
  bool ok = true;
  if (fd.valid() && ::fdatasync(fd.get()) != 0 && errno != EINVAL && errno != EROFS) ok = false;
  if (!fd.Close()) ok = false;
  return ok;
}

}  // namespace

struct AmrNbEncoder {
  std::unique_ptr<void, NbStateCloser> state;
  UniqueFd file;
  ::Mode mode = ::MR122;
  bool failed = false;
};

struct AmrWbEncoder {
  std::unique_ptr<void, WbStateCloser> state;
  UniqueFd file;
  int mode = 0;
  int dtx = 0;
  bool failed = false;
};

AmrNbEncoder* amrnbenc_init(const char* path, int dtx, Mode mode) {
  const int index = static_cast<int>(mode);
  if (index < static_cast<int>(MR475) || index > static_cast<int>(MR122)) return nullptr;
  auto encoder = std::make_unique<AmrNbEncoder>();
  encoder->state.reset(Encoder_Interface_init(dtx != 0 ? 1 : 0));
  if (!encoder->state) return nullptr;
  encoder->file = CreateOutput(path, kNbMagic, sizeof kNbMagic - 1);
  if (!encoder->file.valid()) return nullptr;
  encoder->mode = static_cast<::Mode>(index);
  return encoder.release();
}

int amrnbenc_encode(AmrNbEncoder* encoder, const short* samples) {
  if (encoder == nullptr) return -1;
  if (encoder->failed || samples == nullptr) {
    encoder->failed = true;
    return -1;
  }
  // opencore's encoder filters its input in place despite the const in its signature; it
  // gets a copy so the caller's samples stay as they were.
  std::array<short, kNbFrameSamples> speech;
  std::copy_n(samples, speech.size(), speech.begin());
  unsigned char frame[kScratchBytes];
  const int n =
      Encoder_Interface_Encode(encoder->state.get(), encoder->mode, speech.data(), frame, 0);
  if (n < 1 || n > kNbMaxFrameBytes ||
      !WriteAll(encoder->file.get(), frame, static_cast<size_t>(n))) {
    encoder->failed = true;
    return -1;
  }
  return n;
}

int amrnbenc_quit(AmrNbEncoder* encoder) {
  if (encoder == nullptr) return -1;
  const std::unique_ptr<AmrNbEncoder> owned(encoder);
  const bool closed = FinishFile(owned->file);
  return closed && !owned->failed ? 0 : -1;
}

AmrWbEncoder* amrwbenc_init(const char* path, int dtx, int mode) {
  if (mode < 0 || mode >= kWbModeCount) return nullptr;
  auto encoder = std::make_unique<AmrWbEncoder>();
  encoder->state.reset(E_IF_init());
  if (!encoder->state) return nullptr;
  encoder->file = CreateOutput(path, kWbMagic, sizeof kWbMagic - 1);
  if (!encoder->file.valid()) return nullptr;
  encoder->mode = mode;
  encoder->dtx = dtx != 0 ? 1 : 0;
  return encoder.release();
}

int amrwbenc_encode(AmrWbEncoder* encoder, const short* samples) {
  if (encoder == nullptr) return -1;
  if (encoder->failed || samples == nullptr) {
    encoder->failed = true;
    return -1;
  }
  // The same precaution as for narrow band: the library only ever sees our copy.
  std::array<short, kWbFrameSamples> speech;
  std::copy_n(samples, speech.size(), speech.begin());
  unsigned char frame[kScratchBytes];
  const int n =
      E_IF_encode(encoder->state.get(), encoder->mode, speech.data(), frame, encoder->dtx);
  if (n < 1 || n > kWbMaxFrameBytes ||
      !WriteAll(encoder->file.get(), frame, static_cast<size_t>(n))) {
    encoder->failed = true;
    return -1;
  }
  return n;
}

int amrwbenc_quit(AmrWbEncoder* encoder) {
  if (encoder == nullptr) return -1;
  const std::unique_ptr<AmrWbEncoder> owned(encoder);
  const bool closed = FinishFile(owned->file);
  return closed && !owned->failed ? 0 : -1;
}

}  // namespace platform
