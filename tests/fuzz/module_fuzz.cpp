// Feeds arbitrary bytes to the tracker module channel as a file and renders the start of
// what it accepts: whole frames, never more than asked, never past its length.
#include <vector>

#include "platform/bass/module_channel.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace bass = platform::bass;
  const std::string& path = sonorell::fuzzing::ScratchPath(".mod");
  if (!sonorell::fuzzing::WriteScratch(path, data, size)) return 0;
  (void)bass::LooksLikeModule(path);
  int error = 0;
  const auto channel = bass::OpenModuleChannel(path, 44100, size > 0 && (data[0] & 1), error);
  if (!channel) return 0;
  // An odd-sized buffer, so that a frame split at its end would show.
  std::vector<uint8_t> buffer(4 * 1024 + 3);
  for (int block = 0; block < 64; ++block) {
    const int64_t got = channel->GetData(buffer.data(), buffer.size());
    if (got < 0) break;
    if (static_cast<uint64_t>(got) > buffer.size() || got % 4 != 0 ||
        channel->PositionBytes() > channel->LengthBytes()) {
      __builtin_trap();
    }
  }
  return 0;
}
