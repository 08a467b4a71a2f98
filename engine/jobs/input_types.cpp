#include "engine/jobs/input_types.h"

#include <string>

#include "engine/paths/path_rules.h"

namespace sonorell {
namespace {

struct ExtensionRow {
  const char* extension;  // lower case, dot included
  InputTypeCode code;
};

// Scanned top to bottom; the first match wins.
constexpr ExtensionRow kExtensions[] = {
    {".mp3", kInputMp3},           {".wav", kInputWav},           {".wave", kInputWav},
    {".ogg", kInputOgg},           {".oga", kInputOgg},           {".ogm", kInputOgg},
    {".ogv", kInputOgg},           {".ogx", kInputOgg},           {".mod", kInputTrackerModule},
    {".xm", kInputTrackerModule},  {".it", kInputTrackerModule},  {".s3m", kInputTrackerModule},
    {".mtm", kInputTrackerModule}, {".umx", kInputTrackerModule}, {".mo3", kInputTrackerModule},
    {".midi", kInputMidi},         {".mid", kInputMidi},          {".rmi", kInputMidi},
    {".kar", kInputMidi},          {".au", kInputSunAudio},       {".snd", kInputSunAudio},
    {".aif", kInputAiff},          {".aiff", kInputAiff},         {".aifc", kInputAiff},
    {".afc", kInputAiff},          {".cda", kInputCdAudio},       {".flac", kInputFlac},
    {".fla", kInputFlac},          {".wma", kInputWindowsMedia},  {".wmv", kInputWindowsMedia},
    {".asf", kInputWindowsMedia},  {".wm", kInputWindowsMedia},   {".wmd", kInputWindowsMedia},
    {".xwmv", kInputWindowsMedia}, {".wv", kInputWavPack},        {".adx", kInputAdx},
    {".ape", kInputMonkeysAudio},  {".mac", kInputMonkeysAudio},  {".mpc", kInputMusepack},
    {".mpp", kInputMusepack},      {".mp+", kInputMusepack},      {".spx", kInputSpeex},
    {".tta", kInputTta},           {".aac", kInputAac},           {".mp4", kInputMp4},
    {".m4v", kInputMp4},           {".m4a", kInputM4a},           {".m4b", kInputM4a},
};

}  // namespace

InputTypeCode InputTypeForPath(std::string_view path) {
  const std::string extension = AsciiLower(ExtensionOf(path));
  if (extension.empty()) return kInputOther;
  for (const ExtensionRow& row : kExtensions) {
    if (extension == row.extension) return row.code;
  }
  return kInputOther;
}

}  // namespace sonorell
