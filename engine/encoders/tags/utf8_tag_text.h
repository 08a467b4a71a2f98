#pragma once

#include <optional>
#include <string>

namespace sonorell {

// A tag text (in the system code page) as the UTF-8 a tag writer stores; nothing for an
// empty text, which no writer stores. Characters the code page could not hold have
// already become replacement characters when the text was read.
std::optional<std::string> Utf8TagText(const std::string& text);

}  // namespace sonorell
