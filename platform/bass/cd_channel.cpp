#include "platform/bass/cd_channel.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

#include "platform/bass/bass.h"
#include "platform/bass/file_bytes.h"

namespace platform::bass {
namespace {

constexpr size_t kStubBytes = 44;
constexpr uint32_t kRate = 44100;
constexpr uint32_t kChannels = 2;
constexpr size_t kSectorBytes = CDIO_CD_FRAMESIZE_RAW;  // 588 stereo frames
constexpr int kMaxRetries = 20;  // a badly scratched sector is given up, not retried forever

struct DriveDeleter {
  void operator()(cdrom_drive_t* d) const { cdio_cddap_close(d); }
};
struct ParanoiaDeleter {
  void operator()(cdrom_paranoia_t* p) const { cdio_paranoia_free(p); }
};

void QuietLog(cdio_log_level_t, const char*) {}

class CdChannel final : public Channel {
 public:
  CdChannel(std::unique_ptr<cdrom_drive_t, DriveDeleter> drive,
            std::unique_ptr<cdrom_paranoia_t, ParanoiaDeleter> paranoia, lsn_t first, lsn_t last)
      : drive_(std::move(drive)),
        paranoia_(std::move(paranoia)),
        sectors_(static_cast<uint64_t>(last - first + 1)) {}

  uint32_t Rate() const override { return kRate; }
  uint32_t Channels() const override { return kChannels; }
  uint64_t LengthBytes() const override { return sectors_ * kSectorBytes; }
  uint64_t PositionBytes() const override { return position_; }

  int64_t GetData(void* buffer, size_t size) override {
    size -= size % (kChannels * 2);
    auto* out = static_cast<uint8_t*>(buffer);
    size_t written = 0;
    while (written < size && !failed_) {
      if (pendingUsed_ == pending_.size()) {
        if (sectorsRead_ == sectors_) break;
        const int16_t* sector = cdio_paranoia_read_limited(paranoia_.get(), nullptr, kMaxRetries);
        if (!sector) {
          failed_ = true;  // the drive gave up: the track ends here
          break;
        }
        ++sectorsRead_;
        std::memcpy(pending_.data(), sector, kSectorBytes);
        pendingUsed_ = 0;
      }
      const size_t n = std::min(size - written, pending_.size() - pendingUsed_);
      std::memcpy(out + written, pending_.data() + pendingUsed_, n);
      pendingUsed_ += n;
      written += n;
    }
    if (written == 0) return -1;
    position_ += written;
    return static_cast<int64_t>(written);
  }

 private:
  std::unique_ptr<cdrom_drive_t, DriveDeleter> drive_;
  std::unique_ptr<cdrom_paranoia_t, ParanoiaDeleter> paranoia_;
  uint64_t sectors_;
  uint64_t sectorsRead_ = 0;
  uint64_t position_ = 0;
  std::array<uint8_t, kSectorBytes> pending_{};
  size_t pendingUsed_ = kSectorBytes;
  bool failed_ = false;
};

}  // namespace

std::optional<int> CdaTrackNumber(const std::string& path) {
  const auto stub = ReadFileRange(path, 0, kStubBytes);
  if (!stub || stub->size() < kStubBytes) return std::nullopt;
  const uint8_t* p = stub->data();
  if (std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "CDDA", 4) != 0 ||
      std::memcmp(p + 12, "fmt ", 4) != 0) {
    return std::nullopt;
  }
  const int track = p[22] | (p[23] << 8);
  if (track < 1 || track > 99) return std::nullopt;
  return track;
}

std::unique_ptr<Channel> OpenCdChannel(int track, int& error) {
  // libcdio tells the terminal about every drive it probes and does not find.
  static std::once_flag quiet;
  std::call_once(quiet, [] { cdio_log_set_handler(QuietLog); });

  std::unique_ptr<cdrom_drive_t, DriveDeleter> drive(
      cdio_cddap_find_a_cdrom(CDDA_MESSAGE_FORGETIT, nullptr));
  if (!drive || cdio_cddap_open(drive.get()) != 0) {
    error = BASS_ERROR_FILEOPEN;
    return nullptr;
  }
  const auto number = static_cast<track_t>(track);
  if (track > cdio_cddap_tracks(drive.get()) || !cdio_cddap_track_audiop(drive.get(), number)) {
    error = BASS_ERROR_FILEFORM;
    return nullptr;
  }
  const lsn_t first = cdio_cddap_track_firstsector(drive.get(), number);
  const lsn_t last = cdio_cddap_track_lastsector(drive.get(), number);
  if (first < 0 || last < first) {
    error = BASS_ERROR_FILEFORM;
    return nullptr;
  }
  std::unique_ptr<cdrom_paranoia_t, ParanoiaDeleter> paranoia(cdio_paranoia_init(drive.get()));
  if (!paranoia) {
    error = BASS_ERROR_MEM;
    return nullptr;
  }
  cdio_paranoia_modeset(paranoia.get(), PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
  cdio_paranoia_set_range(paranoia.get(), first, last);
  cdio_paranoia_seek(paranoia.get(), first, SEEK_SET);
  return std::make_unique<CdChannel>(std::move(drive), std::move(paranoia), first, last);
}

}  // namespace platform::bass
