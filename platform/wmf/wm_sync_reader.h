#pragma once

// The Windows Media runtime's synchronous reader, as Sonorell calls it: open an ASF file,
// walk its profile's streams, select one audio stream, read header attributes by name and
// fetch that stream's samples decompressed to PCM.
//
// Backed by our own ASF header reader (streams, file properties, attributes with their
// types) and FFmpeg's ASF demuxer and WMA decoders (samples). What is honoured:
//   Open                  files that start with an ASF header object; others, and files
//                         whose first audio stream FFmpeg cannot decode (protected content,
//                         unknown codecs), fail. Paths are the system's own (bytes).
//   GetStreamCount/GetStream  every stream of the header (audio, video, other), with its
//                         number, in header order.
//   SetStreamsSelected / SetReadStreamSamples  accepted for the first audio stream, the one
//                         that is decoded; compressed delivery is refused.
//   GetOutputCount/GetOutputProps  one output per stream in stream order; audio outputs
//                         are 16-bit PCM with the decoder's channel count and rate (all of
//                         its channels, more than two for multichannel WMA Professional).
//   GetNextSample         the decoder's next run of frames as one sample, with its
//                         presentation time in 100-ns units (counted from the frames
//                         delivered); NS_E_NO_MORE_SAMPLES at the end.
//   GetAttributeByName    file-level attributes of the content description, the extended
//                         content description and the metadata objects, with their stored
//                         types; plus "Duration" (QWORD, play duration less preroll) and
//                         "Bitrate" (DWORD, the file's maximum bit rate). A null value asks
//                         for the length; a smaller buffer gets ASF_E_BUFFERTOOSMALL, an
//                         unknown name ASF_E_NOTFOUND.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/wmf/sample_buffer.h"
#include "platform/wmf/wm_types.h"

namespace platform::wm {

class WmSyncReader {
 public:
  WmSyncReader();
  ~WmSyncReader();
  WmSyncReader(const WmSyncReader&) = delete;
  WmSyncReader& operator=(const WmSyncReader&) = delete;

  HRESULT Open(const std::string& path);
  HRESULT Close();

  // The profile of the open file.
  HRESULT GetStreamCount(uint32_t* count) const;
  HRESULT GetStream(uint32_t index, MajorType* type, uint16_t* streamNumber) const;

  HRESULT SetStreamsSelected(uint16_t streamNumber, bool selected);
  HRESULT SetReadStreamSamples(uint16_t streamNumber, bool compressed);

  HRESULT GetOutputCount(uint32_t* outputs) const;
  HRESULT GetOutputProps(uint32_t output, WM_MEDIA_TYPE* type) const;

  // The next sample of streamNumber (0: of any selected stream).
  HRESULT GetNextSample(uint16_t streamNumber, std::unique_ptr<SampleBuffer>* sample,
                        uint64_t* sampleTime, uint64_t* duration, uint32_t* flags,
                        uint32_t* outputNumber, uint16_t* streamOut);

  // Header information. *streamNumber 0 is the file level.
  HRESULT GetAttributeByName(uint16_t* streamNumber, std::u16string_view name,
                             WMT_ATTR_DATATYPE* type, uint8_t* value, uint16_t* length) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform::wm
