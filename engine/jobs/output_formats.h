#pragma once

#include <span>
#include <string>

#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

using OutputFormatCode = int;

inline constexpr OutputFormatCode kOutputMp3 = 1000;
inline constexpr OutputFormatCode kOutputWav = 2000;
inline constexpr OutputFormatCode kOutputOgg = 4000;
inline constexpr OutputFormatCode kOutputAmr = 5500;
inline constexpr OutputFormatCode kOutputAwb = 5600;
inline constexpr OutputFormatCode kOutputAac = 6000;
inline constexpr OutputFormatCode kOutputM4a = 6500;
inline constexpr OutputFormatCode kOutputMp4 = 6600;
inline constexpr OutputFormatCode kOutputM4b = 6700;
inline constexpr OutputFormatCode kOutputWma = 7000;
inline constexpr OutputFormatCode kOutputFlac = 8000;
inline constexpr OutputFormatCode kOutputOpus = 8500;

// One entry of the output-format box, in the order the box lists them.
struct OutputFormatRow {
  OutputFormatCode code;
  const char* extension;  // without dot
  const char* label;      // null: the upper-cased extension is shown
};

// The rows of the output-format box (without the end marker).
std::span<const OutputFormatRow> OutputFormatTable();

// " to %s" with the row's label or upper-cased extension.
std::string OutputFormatItemText(const OutputFormatRow& row);

// Short upper-case name for the overall progress line; empty for an unknown code.
std::string FormatName(OutputFormatCode code);

// The encoder of a format; null for an unknown code and for formats this build cannot
// write yet, whose files then end as conversion failures.
EncoderEntry EncoderFor(OutputFormatCode code);

// The writer of a format's gain tags; null for formats that carry none.
GainTagWriter GainTagWriterFor(OutputFormatCode code);

// The ReplayGain tags a format's files get under these options: 0 none, 1 the track's, 2
// the track's and the album's. 0 when the format carries none or its tag mode writes no
// tags.
int ReplayGainMode(const Settings& settings, OutputFormatCode code);

// The output format whose extension (without dot, any case) is given; -1 when none.
OutputFormatCode OutputFormatForExtension(const std::string& extension);

}  // namespace sonorell
