#pragma once

#include <optional>
#include <string>

#include "engine/encoders/tags/cover_picture.h"

namespace sonorell {

// An image file read as a front cover (type 3, no description): nullopt with why it cannot
// be carried ("its file cannot be read", "it is larger than 16 MB", "it is no image").
// Only a regular file is opened, and never more than the largest cover is read.
std::optional<CoverPicture> ReadCoverImageFile(const std::string& path, std::string& whyNot);

}  // namespace sonorell
