#pragma once

#include <string>

namespace sonorell {

// Reads the iTunes-style tags of an MP4-family file (M4A, MP4, M4B) into locale text.
// Returns true when at least one text field was found; a track number alone does not count,
// so the caller can still ask the file's decoder for tags. Fields the file lacks keep their
// values; characters the locale cannot hold become replacement characters, and
// textReplaced, when given, tells whether any did. Once the file is open, copyright is set
// to empty (MP4 files carry none that the program copies); a file that does not open as MP4
// changes nothing.
bool ReadMp4Tags(const std::string& path, std::string& title, std::string& artist,
                 std::string& album, std::string& year, std::string& genre, std::string& comment,
                 std::string& track, std::string& composer, std::string& copyright,
                 bool* textReplaced = nullptr);

}  // namespace sonorell
