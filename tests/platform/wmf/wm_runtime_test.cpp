#include "platform/wmf/wm_runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/engine/encoders/compressed_output.h"
#include "tests/platform/wmf/asf_files.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace platform::wm {
namespace {

using sonorell::testing::CommandOutput;
using sonorell::testing::MakeAsfAudio;
using sonorell::testing::TempFolder;

class WmRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sonorell::testing::ToolAvailable("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    ASSERT_TRUE(LoadWmRuntime());
  }
  std::unique_ptr<WmSyncReader> Reader() {
    std::unique_ptr<WmSyncReader> r;
    EXPECT_EQ(WmRuntime().WMCreateSyncReader(&r), S_OK);
    return r;
  }
  // Every frame the reader delivers, interleaved 16-bit.
  static std::vector<int16_t> ReadAll(WmSyncReader& reader, uint16_t stream) {
    std::vector<int16_t> pcm;
    uint64_t lastTime = 0;
    for (;;) {
      std::unique_ptr<SampleBuffer> sample;
      uint64_t time = 0;
      uint64_t duration = 0;
      const HRESULT hr =
          reader.GetNextSample(stream, &sample, &time, &duration, nullptr, nullptr, nullptr);
      if (hr == NS_E_NO_MORE_SAMPLES) break;
      EXPECT_EQ(hr, S_OK);
      if (FAILED(hr)) break;
      EXPECT_GE(time, lastTime);
      lastTime = time;
      const auto* values = reinterpret_cast<const int16_t*>(sample->Buffer());
      pcm.insert(pcm.end(), values, values + sample->Length() / 2);
    }
    return pcm;
  }
  TempFolder dir;
};

TEST_F(WmRuntimeTest, LoadsOnceWithAllThreeEntryPoints) {
  EXPECT_TRUE(WmRuntimeLoaded());
  EXPECT_TRUE(LoadWmRuntime());
  const WmEntryPoints& e = WmRuntime();
  EXPECT_NE(e.WMCreateSyncReader, nullptr);
  EXPECT_NE(e.WMCreateWriter, nullptr);
  EXPECT_NE(e.WMCreateProfileManager, nullptr);
}

TEST_F(WmRuntimeTest, ReaderDecodesWmaOfEveryRateAndChannelCountToFfmpegsLength) {
  struct Case {
    const char* codec;
    int rate;
    int channels;
  } cases[] = {{"wmav2", 22050, 1}, {"wmav2", 32000, 2}, {"wmav2", 44100, 2},
               {"wmav2", 48000, 1}, {"wmav1", 44100, 2}, {"wmav1", 22050, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.rate) + "/" +
                 std::to_string(c.channels));
    const std::string path = dir / "t.wma";
    ASSERT_TRUE(MakeAsfAudio(path, c.codec, c.rate, c.channels, 1.5, "-metadata title=Hi"));
    auto reader = Reader();
    ASSERT_EQ(reader->Open(path), S_OK);
    uint32_t outputs = 0;
    ASSERT_EQ(reader->GetOutputCount(&outputs), S_OK);
    ASSERT_EQ(outputs, 1u);
    WM_MEDIA_TYPE type;
    ASSERT_EQ(reader->GetOutputProps(0, &type), S_OK);
    EXPECT_EQ(type.wave.nChannels, c.channels);
    EXPECT_EQ(static_cast<int>(type.wave.nSamplesPerSec), c.rate);
    EXPECT_EQ(type.wave.wBitsPerSample, 16);

    uint16_t stream = 0;
    WMT_ATTR_DATATYPE attrType{};
    uint16_t length = 0;
    ASSERT_EQ(reader->GetAttributeByName(&stream, u"Duration", &attrType, nullptr, &length), S_OK);
    ASSERT_EQ(attrType, WMT_TYPE_QWORD);
    uint64_t duration = 0;
    ASSERT_EQ(reader->GetAttributeByName(&stream, u"Duration", &attrType,
                                         reinterpret_cast<uint8_t*>(&duration), &length),
              S_OK);
    EXPECT_NEAR(static_cast<double>(duration) / 1e7, sonorell::testing::FfprobeSeconds(path),
                0.001);
    EXPECT_EQ(reader->SetReadStreamSamples(1, false), S_OK);
    const std::vector<int16_t> pcm = ReadAll(*reader, 1);
    const auto expected = sonorell::testing::FfmpegDecode16(path);
    ASSERT_TRUE(expected);
    // ffmpeg mixes nothing here: the same decoder, the same samples.
    EXPECT_EQ(pcm.size(), expected->size());
  }
}

TEST_F(WmRuntimeTest, AttributesAnswerLengthFirstThenTheBytes) {
  const std::string path = dir / "t.wma";
  ASSERT_TRUE(MakeAsfAudio(path, "wmav2", 44100, 2, 1.0, "-metadata title=Chord"));
  auto reader = Reader();
  ASSERT_EQ(reader->Open(path), S_OK);
  uint16_t stream = 0;
  WMT_ATTR_DATATYPE type{};
  uint16_t length = 0;
  ASSERT_EQ(reader->GetAttributeByName(&stream, u"Title", &type, nullptr, &length), S_OK);
  EXPECT_EQ(type, WMT_TYPE_STRING);
  EXPECT_EQ(length, 12);  // "Chord" and its terminator
  std::vector<uint8_t> small(4);
  uint16_t smallLength = 4;
  EXPECT_EQ(reader->GetAttributeByName(&stream, u"Title", &type, small.data(), &smallLength),
            ASF_E_BUFFERTOOSMALL);
  EXPECT_EQ(reader->GetAttributeByName(&stream, u"WM/Composer", &type, nullptr, &length),
            ASF_E_NOTFOUND);
  EXPECT_EQ(reader->GetAttributeByName(&stream, u"Bitrate", &type, nullptr, &length), S_OK);
  EXPECT_EQ(type, WMT_TYPE_DWORD);
  EXPECT_EQ(length, 4);
}

TEST_F(WmRuntimeTest, ReaderRefusesWhatIsNotAsfOrCannotBeDecoded) {
  const std::string path = dir / "x.wma";
  auto reader = Reader();
  EXPECT_TRUE(FAILED(reader->Open(dir / "missing.wma")));
  sonorell::testing::WriteFileBytes(path, "not an asf file at all, just words");
  EXPECT_TRUE(FAILED(reader->Open(path)));
  uint32_t count = 0;
  EXPECT_TRUE(FAILED(reader->GetStreamCount(&count))) << "nothing is open";
  std::unique_ptr<SampleBuffer> sample;
  EXPECT_TRUE(
      FAILED(reader->GetNextSample(1, &sample, nullptr, nullptr, nullptr, nullptr, nullptr)));
}

TEST_F(WmRuntimeTest, CodecListHoldsOnlyWhatTheEncodersWrite) {
  std::unique_ptr<WmProfileManager> manager;
  ASSERT_EQ(WmRuntime().WMCreateProfileManager(&manager), S_OK);
  uint32_t codecs = 0;
  ASSERT_EQ(manager->GetCodecInfoCount(MajorType::kAudio, &codecs), S_OK);
  ASSERT_GE(codecs, 1u);
  uint32_t videoCodecs = 1;
  EXPECT_EQ(manager->GetCodecInfoCount(MajorType::kVideo, &videoCodecs), S_OK);
  EXPECT_EQ(videoCodecs, 0u);
  int audioVideo = 0;
  for (uint32_t codec = 0; codec < codecs; ++codec) {
    uint32_t formats = 0;
    ASSERT_EQ(manager->GetCodecFormatCount(MajorType::kAudio, codec, &formats), S_OK);
    for (uint32_t f = 0; f < formats; ++f) {
      std::unique_ptr<WmStreamConfig> config;
      char16_t text[1024];
      uint32_t chars = 1024;
      ASSERT_EQ(manager->GetCodecFormatDesc(MajorType::kAudio, codec, f, &config, text, &chars),
                S_OK);
      const std::u16string description(text);
      EXPECT_EQ(chars, description.size() + 1);
      audioVideo += description.find(u"(A/V)") != std::u16string::npos;
      WM_MEDIA_TYPE type;
      uint32_t bitRate = 0;
      ASSERT_EQ(config->GetMediaType(&type), S_OK);
      ASSERT_EQ(config->GetBitrate(&bitRate), S_OK);
      EXPECT_GE(bitRate, 24000u);
      EXPECT_GE(type.wave.nSamplesPerSec, 8000u);
      EXPECT_LE(type.wave.nSamplesPerSec, 48000u);
      EXPECT_GE(type.wave.nChannels, 1);
      EXPECT_LE(type.wave.nChannels, 2);
    }
  }
  EXPECT_GT(audioVideo, 0);
  char16_t tiny[4];
  uint32_t tinyChars = 4;
  EXPECT_EQ(manager->GetCodecFormatDesc(MajorType::kAudio, 0, 0, nullptr, tiny, &tinyChars),
            ASF_E_BUFFERTOOSMALL);
  std::unique_ptr<WmProfile> profile;
  EXPECT_TRUE(FAILED(manager->CreateEmptyProfile(0x00080000, &profile)));
}

// Writes tone samples through the writer for one codec format; the result of EndWriting.
HRESULT WriteTone(WmWriter& writer, const std::string& path, uint16_t tag, int codecRate,
                  int codecChannels, uint32_t bitRate, int inRate, int inChannels, int bits,
                  double seconds) {
  std::unique_ptr<WmProfileManager> manager;
  WmRuntime().WMCreateProfileManager(&manager);
  std::unique_ptr<WmProfile> profile;
  manager->CreateEmptyProfile(WMT_VER_9_0, &profile);
  std::unique_ptr<WmStreamConfig> stream;
  profile->CreateNewStream(MajorType::kAudio, &stream);
  stream->SetMediaType(WmaCodecMediaType(tag, codecChannels, codecRate, bitRate));
  stream->SetBitrate(bitRate);
  stream->SetStreamNumber(1);
  profile->AddStream(*stream);
  HRESULT hr = writer.SetProfile(*profile);
  if (FAILED(hr)) return hr;
  WmInputProps props;
  writer.GetInputProps(0, &props);
  props.mediaType = PcmMediaType(inChannels, inRate, bits);
  hr = writer.SetInputProps(0, props);
  if (FAILED(hr)) return hr;
  writer.SetOutputFilename(path);
  hr = writer.BeginWriting();
  if (FAILED(hr)) return hr;
  const int frames = static_cast<int>(seconds * inRate);
  const int block = 1152;
  for (int done = 0; done < frames; done += block) {
    const int n = std::min(block, frames - done);
    std::unique_ptr<SampleBuffer> sample;
    writer.AllocateSample(static_cast<uint32_t>(n * inChannels * bits / 8), &sample);
    for (int i = 0; i < n; ++i) {
      const double v = 0.5 * std::sin(2 * M_PI * 440.0 * (done + i) / inRate);
      for (int c = 0; c < inChannels; ++c) {
        const size_t at = static_cast<size_t>(i * inChannels + c);
        if (bits == 16) {
          reinterpret_cast<int16_t*>(sample->Buffer())[at] = static_cast<int16_t>(v * 32767);
        } else {
          sample->Buffer()[at] = static_cast<uint8_t>(128 + v * 127);
        }
      }
    }
    sample->SetLength(sample->MaxLength());
    hr = writer.WriteSample(0, 0, 0, *sample);
    if (FAILED(hr)) return hr;
  }
  return writer.EndWriting();
}

TEST_F(WmRuntimeTest, WriterConvertsRateChannelsAndWidthToTheCodecFormat) {
  struct Case {
    uint16_t tag;
    int codecRate, codecChannels;
    uint32_t bitRate;
    int inRate, inChannels, bits;
    const char* codec;
  } cases[] = {
      {WAVE_FORMAT_WMAUDIO2, 44100, 2, 128000, 44100, 2, 16, "wmav2"},
      {WAVE_FORMAT_WMAUDIO2, 22050, 1, 32000, 48000, 2, 16, "wmav2"},
      {WAVE_FORMAT_WMAUDIO2, 48000, 2, 192000, 8000, 1, 8, "wmav2"},
      {WAVE_FORMAT_MSAUDIO1, 44100, 2, 64000, 44100, 2, 16, "wmav1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.codecRate));
    const std::string path = dir / "out.wma";
    WmWriter writer;
    ASSERT_EQ(WriteTone(writer, path, c.tag, c.codecRate, c.codecChannels, c.bitRate, c.inRate,
                        c.inChannels, c.bits, 1.0),
              S_OK);
    const auto probe = sonorell::testing::FfprobeStream(path);
    ASSERT_TRUE(probe.ok);
    EXPECT_EQ(probe.codec, c.codec);
    EXPECT_EQ(probe.rate, c.codecRate);
    EXPECT_EQ(probe.channels, c.codecChannels);
    EXPECT_EQ(probe.bitRate, static_cast<long>(c.bitRate));
    // The header tells the sound's own length; the decoder gives all of it.
    EXPECT_NEAR(sonorell::testing::FfprobeSeconds(path), 1.0, 0.001);
    const long frames = sonorell::testing::FfmpegFrames(path);
    EXPECT_GE(frames, c.codecRate * 1.0 - 2);
    EXPECT_LE(frames, c.codecRate * 1.0 + 2 * 2048);
  }
}

TEST_F(WmRuntimeTest, WriterRefusesProfessionalFormatsBadInputAndUnwritablePlaces) {
  WmWriter pro;
  EXPECT_TRUE(FAILED(
      WriteTone(pro, dir / "p.wma", WAVE_FORMAT_WMAUDIO3, 44100, 2, 128000, 44100, 2, 16, 0.1)));
  WmWriter badInput;
  EXPECT_EQ(
      WriteTone(badInput, dir / "b.wma", WAVE_FORMAT_WMAUDIO2, 44100, 2, 128000, 44100, 2, 24, 0.1),
      NS_E_INVALID_INPUT_FORMAT);
  WmWriter nowhere;
  EXPECT_TRUE(FAILED(WriteTone(nowhere, "/nonexistent/sonorell/x.wma", WAVE_FORMAT_WMAUDIO2, 44100,
                               2, 128000, 44100, 2, 16, 0.1)));
  WmWriter writer;
  uint16_t index = 0;
  const uint8_t value[3] = {1, 2, 3};
  EXPECT_TRUE(FAILED(writer.AddAttribute(0, u"WM/Track", &index, WMT_TYPE_DWORD, 0, value, 3)));
  EXPECT_TRUE(FAILED(writer.AddAttribute(0, u"Title", &index, WMT_TYPE_STRING, 0, value, 3)));
  EXPECT_TRUE(FAILED(writer.AddAttribute(2, u"Title", &index, WMT_TYPE_STRING, 0, value, 2)));
  EXPECT_EQ(writer.AddAttribute(0, u"Title", &index, WMT_TYPE_STRING, 0, value, 2), S_OK);
  EXPECT_TRUE(FAILED(writer.EndWriting())) << "nothing was begun";
}

}  // namespace
}  // namespace platform::wm
