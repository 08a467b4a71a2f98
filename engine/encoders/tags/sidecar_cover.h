#pragma once

#include <string>

namespace sonorell {

// The image file beside a source that stands for its album's cover: the first of cover,
// folder, front and albumart with the extension .jpg, .jpeg or .png, in any case ("Folder.JPG"
// too). Among names that differ only in case, the byte-wise first. Empty when there is none.
std::string FindSidecarCover(const std::string& sourcePath);

}  // namespace sonorell
