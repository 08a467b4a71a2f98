#pragma once

#include <string>

#include "settings/settings.h"

namespace sonorell {

// The whole record as text, for handing a snapshot of it to another process: one line
// "name=value\n" per stored value, under the names of the store; a tag set's values are
// named "<family>Tag.<name>" (for example "MP3Tag.Title"). Numbers are decimal; texts keep
// every byte, with backslash escapes (\\ \n \r \t \0 \xHH) for the backslash and the
// control bytes, so that no line holds a raw line break.
std::string SettingsToText(const Settings& settings);

// Reads text written by SettingsToText into out; values the text does not name keep what
// out held, and ExtensionFilter is built again from the result. No store corrections are
// applied: the values come back exactly as written. False (with out unchanged) when a
// line is malformed, names no value, or the text does not end with a line break.
bool SettingsFromText(const std::string& text, Settings& out);

}  // namespace sonorell
