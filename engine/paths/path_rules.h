#pragma once

#include <string>
#include <string_view>

// How the program names the parts of a path. Paths are UTF-8 byte strings with "/" between
// folders; a dot in a folder name never makes an extension.
namespace sonorell {

// The text after the last "/" (the whole path when it has none).
std::string FileNamePart(std::string_view path);

// The path up to and including its last "/" (empty when it has none).
std::string FolderPart(std::string_view path);

// From the last dot of the file name to its end, dot included; empty without a dot.
std::string ExtensionOf(std::string_view path);

// The path without the extension of its file name.
std::string StemOf(std::string_view path);

// ASCII lower case; other bytes (UTF-8 sequences) stay as they are.
std::string AsciiLower(std::string_view text);

}  // namespace sonorell
