#include "engine/encoders/wma/wma_file_writer.h"

#include <cstring>

#include "engine/encoders/tags/track_number.h"
#include "engine/encoders/wma/wm_picture_attribute.h"
#include "engine/encoders/wma/wma_text_attribute.h"
#include "engine/sources/failure_note.h"
#include "platform/text/text_conversion.h"
#include "platform/wmf/asf_header_editor.h"
#include "platform/wmf/wm_runtime.h"

namespace sonorell {
namespace {

namespace wm = platform::wm;

wm::AsfAttribute Text(const char16_t* name, const std::string& localeText) {
  return WmaTextAttribute(name, platform::AnsiToUtf8Replacing(localeText).text);
}

}  // namespace

std::vector<wm::AsfAttribute> WmaHeaderAttributes(const std::optional<TagRecord>& tags,
                                                  const ExtraTags& extras) {
  if (!tags) return {};
  const int track = TrackNumberValue(tags->track);
  const auto number = static_cast<uint32_t>(track > 0 ? track : 0);
  std::vector<uint8_t> trackBytes(4);
  for (size_t i = 0; i < 4; ++i) trackBytes[i] = static_cast<uint8_t>(number >> (8 * i));
  std::vector<wm::AsfAttribute> attributes{
      Text(u"Title", tags->title),
      Text(u"Author", tags->artist),
      extras.albumArtist.empty() ? Text(u"WM/AlbumArtist", tags->artist)
                                 : WmaTextAttribute(u"WM/AlbumArtist", extras.albumArtist),
      Text(u"Description", tags->comment),
      Text(u"WM/AlbumTitle", tags->album),
      Text(u"WM/Genre", tags->genre),
      {u"WM/TrackNumber", wm::WMT_TYPE_DWORD, trackBytes, 0},
      Text(u"WM/Year", tags->year),
      Text(u"WM/Composer", tags->composer),
      Text(u"Copyright", tags->copyright)};
  if (!extras.disc.empty()) {
    attributes.push_back(WmaTextAttribute(
        u"WM/PartOfSet",
        extras.disc + (extras.discTotal.empty() ? std::string() : "/" + extras.discTotal)));
  }
  return attributes;
}

uint64_t WmaBlockDuration(int frames, int sampleRate) {
  if (frames <= 0 || sampleRate <= 0) return 0;
  return static_cast<uint64_t>(static_cast<double>(frames) * 10000000.0 / sampleRate);
}

void WmaFileWriter::SetInput(int sampleRate, int bitsPerSample, int channels) {
  sampleRate_ = sampleRate;
  bitsPerSample_ = bitsPerSample;
  channels_ = channels;
}

void WmaFileWriter::Reset() {
  writer_.reset();
  tags_.reset();
  extras_ = {};
  input_ = 0;
  time_ = 0;
}

bool WmaFileWriter::Begin() {
  const platform::WmEntryPoints& runtime = platform::WmRuntime();
  std::unique_ptr<wm::WmProfileManager> manager;
  std::unique_ptr<wm::WmProfile> profile;
  std::unique_ptr<wm::WmStreamConfig> stream;
  const wm::WM_MEDIA_TYPE codecType = wm::WmaCodecMediaType(
      static_cast<uint16_t>(profile_.format.formatTag), profile_.format.channels,
      profile_.format.sampleRate, static_cast<uint32_t>(profile_.bitRate));
  bool ok = runtime.WMCreateWriter != nullptr && runtime.WMCreateProfileManager != nullptr &&
            wm::SUCCEEDED(runtime.WMCreateWriter(&writer_)) && writer_ &&
            wm::SUCCEEDED(runtime.WMCreateProfileManager(&manager)) && manager &&
            wm::SUCCEEDED(manager->CreateEmptyProfile(wm::WMT_VER_9_0, &profile)) &&
            wm::SUCCEEDED(profile->CreateNewStream(wm::MajorType::kAudio, &stream)) &&
            wm::SUCCEEDED(stream->SetMediaType(codecType)) &&
            wm::SUCCEEDED(stream->SetStreamName(u"audio stream")) &&
            wm::SUCCEEDED(stream->SetConnectionName(u"audio")) &&
            wm::SUCCEEDED(stream->SetStreamNumber(kStreamNumber)) &&
            wm::SUCCEEDED(stream->SetBitrate(static_cast<uint32_t>(profile_.bitRate))) &&
            wm::SUCCEEDED(stream->SetBufferWindow(kBufferWindowMs)) &&
            wm::SUCCEEDED(profile->AddStream(*stream)) &&
            wm::SUCCEEDED(writer_->SetProfile(*profile));

  // The writer's audio input, described as the PCM we deliver.
  if (ok) {
    uint32_t inputs = 0;
    ok = wm::SUCCEEDED(writer_->GetInputCount(&inputs));
    bool found = false;
    for (uint32_t i = 0; ok && i < inputs && !found; ++i) {
      wm::WmInputProps props;
      ok = wm::SUCCEEDED(writer_->GetInputProps(i, &props));
      if (ok && props.type == wm::MajorType::kAudio) {
        input_ = i;
        found = true;
        props.mediaType = wm::PcmMediaType(channels_, sampleRate_, bitsPerSample_);
        ok = wm::SUCCEEDED(writer_->SetInputProps(i, props));
      }
    }
    ok = ok && found;
  }

  if (ok) {
    // The runtime reports nothing useful for single attributes; they are not checked.
    for (const wm::AsfAttribute& a : WmaHeaderAttributes(tags_, extras_)) {
      uint16_t index = 0;
      writer_->AddAttribute(0, a.name, &index, a.type, 0, a.value.data(),
                            static_cast<uint32_t>(a.value.size()));
    }
    ok = wm::SUCCEEDED(writer_->SetOutputFilename(path_)) && wm::SUCCEEDED(writer_->BeginWriting());
  }
  if (!ok) {
    Reset();
    return false;
  }
  time_ = 0;
  return true;
}

bool WmaFileWriter::WriteBlock(const void* left, const void* right, int frames,
                               int bytesPerSample) {
  if (!writer_ || left == nullptr || frames <= 0 || (channels_ == 2 && right == nullptr)) {
    return false;
  }
  const auto size = static_cast<uint32_t>(frames * channels_ * bytesPerSample);
  std::unique_ptr<wm::SampleBuffer> sample;
  if (wm::FAILED(writer_->AllocateSample(size, &sample)) || !sample || sample->MaxLength() < size) {
    return false;
  }
  uint8_t* out = sample->Buffer();
  const auto* l = static_cast<const uint8_t*>(left);
  const auto* r = static_cast<const uint8_t*>(right);
  const auto width = static_cast<size_t>(bytesPerSample);
  if (channels_ == 2) {
    for (int i = 0; i < frames; ++i) {
      std::memcpy(out, l + i * width, width);
      std::memcpy(out + width, r + i * width, width);
      out += 2 * width;
    }
  } else {
    std::memcpy(out, l, static_cast<size_t>(frames) * width);
  }
  sample->SetLength(size);
  const bool written = wm::SUCCEEDED(writer_->WriteSample(input_, time_, 0, *sample));
  time_ += WmaBlockDuration(frames, sampleRate_);
  return written;
}

bool WmaFileWriter::Write16(const int16_t* left, const int16_t* right, int frames) {
  return WriteBlock(left, right, frames, 2);
}

bool WmaFileWriter::Write8(const uint8_t* left, const uint8_t* right, int frames) {
  return WriteBlock(left, right, frames, 1);
}

bool WmaFileWriter::WritePcm(const void* left, const void* right, int frames) {
  if (bitsPerSample_ == 16) {
    return Write16(static_cast<const int16_t*>(left), static_cast<const int16_t*>(right), frames);
  }
  return Write8(static_cast<const uint8_t*>(left), static_cast<const uint8_t*>(right), frames);
}

bool WmaFileWriter::AddCover() const {
  if (!extras_.cover) return true;
  const wm::AsfAttributeEdit edit{{u"WM/Picture"}, {WmPictureAttribute(*extras_.cover)}};
  switch (wm::EditAsfAttributes(path_, edit)) {
    case wm::AsfEditResult::kInPlace:
    case wm::AsfEditResult::kRewritten:
      return true;
    case wm::AsfEditResult::kTooLarge:
      if (notes_ != nullptr) notes_->coverNote = "it is larger than WMA holds";
      return true;
    case wm::AsfEditResult::kUnreadable:
    case wm::AsfEditResult::kFailed:
      break;
  }
  SetFailureNote("the cover picture could not be written into the WMA file");
  return false;
}

bool WmaFileWriter::End() {
  const bool ended = writer_ && wm::SUCCEEDED(writer_->EndWriting()) && AddCover();
  Reset();
  return ended;
}

}  // namespace sonorell
