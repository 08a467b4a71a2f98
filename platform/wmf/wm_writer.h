#pragma once

// The Windows Media runtime's writer as Sonorell calls it: a profile with one audio stream,
// a PCM input, header attributes, timed samples, one ASF file.
//
// Backed by FFmpeg's WMA encoders (wmav2 for tag 0x0161, wmav1 for 0x0160) and its ASF
// muxer; the attributes are written into the header by our own ASF header writer, with
// their types. What is honoured:
//   SetProfile            one audio stream whose media type is a WMA codec format of the
//                         codec list; its bit rate is the encoder's. Stream number, names and
//                         buffer window are kept but the muxer numbers the stream itself (1).
//   GetInputProps / SetInputProps  one input per stream. PCM of 8 (unsigned) or 16 bits,
//                         1 to 8 channels, 1000 to 384000 Hz; the writer converts rate and
//                         channels to the codec format's, as the runtime does.
//   SetOutputFilename     the system's own path (bytes).
//   BeginWriting          opens the encoder and creates the file; fails when either fails.
//   AllocateSample / WriteSample  whole PCM frames; the sample time is taken as given only
//                         for its order (the encoder counts its own time from the frames).
//   EndWriting            drains the encoder, writes the index, puts the attributes into the
//                         header and closes the file; fails on any failed write. The file is
//                         left for the caller to remove after a failure.
//   AddAttribute          file-level attributes (stream 0) of every type; "Title", "Author",
//                         "Copyright", "Description" and "Rating" go to the content
//                         description (strings only), the rest to the extended content
//                         description in the order added. Values up to 65535 bytes.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/wmf/sample_buffer.h"
#include "platform/wmf/wm_profile.h"
#include "platform/wmf/wm_types.h"

namespace platform::wm {

// What an input takes.
struct WmInputProps {
  MajorType type = MajorType::kNone;
  WM_MEDIA_TYPE mediaType;
};

class WmWriter {
 public:
  WmWriter();
  ~WmWriter();  // abandons an unfinished file (the caller removes it)
  WmWriter(const WmWriter&) = delete;
  WmWriter& operator=(const WmWriter&) = delete;

  HRESULT SetProfile(const WmProfile& profile);
  HRESULT GetInputCount(uint32_t* inputs) const;
  HRESULT GetInputProps(uint32_t input, WmInputProps* props) const;
  HRESULT SetInputProps(uint32_t input, const WmInputProps& props);
  HRESULT SetOutputFilename(const std::string& path);
  HRESULT BeginWriting();
  HRESULT AllocateSample(uint32_t size, std::unique_ptr<SampleBuffer>* sample) const;
  HRESULT WriteSample(uint32_t input, uint64_t sampleTime, uint32_t flags,
                      const SampleBuffer& sample);
  HRESULT EndWriting();

  // Header information; *index receives the attribute's place.
  HRESULT AddAttribute(uint16_t streamNumber, std::u16string_view name, uint16_t* index,
                       WMT_ATTR_DATATYPE type, uint16_t languageIndex, const uint8_t* value,
                       uint32_t length);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform::wm
