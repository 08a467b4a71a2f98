#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sources/audio_source.h"
#include "platform/wmf/wm_sync_reader.h"

namespace sonorell {

// Windows Media files (WMA, WMV, ASF) through the Windows Media runtime's synchronous
// reader, which decodes the first audio stream to 16-bit PCM. Length and position count
// 100-ns units; the tags are the file's Windows Media attributes. Files with more than two
// channels deliver their first two, as left and right.
class WmaSource : public AudioSource {
 public:
  WmaSource();
  ~WmaSource() override;

  void Close() override;
  // The rendering rate is ignored. Fails at once without the runtime.
  bool Open(const std::string& path, int renderingRate) override;
  int Read(void* left, void* right) override;
  bool ReadTags(std::string& title, std::string& artist, std::string& album, std::string& year,
                std::string& genre, std::string& comment, std::string& track, std::string& composer,
                std::string& copyright) override;

  // The pending-sample buffer's first capacity, in bytes.
  static constexpr size_t kInitialPendingBytes = 102400;

 private:
  bool OpenReader(const std::string& path);
  bool SelectAudioStream();
  bool ReadAttributes();
  bool FindAudioOutput();
  // Reads one attribute's bytes; false on a failure other than a missing attribute, which
  // leaves bytes empty.
  bool Attribute(std::u16string_view name, platform::wm::WMT_ATTR_DATATYPE& type,
                 std::vector<uint8_t>& bytes) const;
  // Reads a string attribute as locale text (empty when absent); false when reading fails.
  bool TextAttribute(std::u16string_view name, std::string& text);
  // Moves pending frames into the caller's buffers from frame `at`; returns the new count.
  int Deliver(int16_t* left, int16_t* right, int at);

  std::unique_ptr<platform::wm::WmSyncReader> reader_;
  bool opened_ = false;
  uint16_t streamNumber_ = 0;
  uint32_t outputNumber_ = 0;
  int readerChannels_ = 0;  // values per frame in the reader's samples

  std::string title_, author_, description_, album_, genre_, year_, copyright_, composer_;
  uint32_t trackNumber_ = 0;

  std::vector<uint8_t> pending_;
  size_t readIndex_ = 0;  // in 16-bit values
  size_t pendingFrames_ = 0;
};

}  // namespace sonorell
