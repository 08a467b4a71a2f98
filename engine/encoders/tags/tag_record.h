#pragma once

#include <string>

namespace sonorell {

// The nine tag texts that travel from a source file, or from the user's defaults, to an
// encoder's tag writer. Every text is in the system code page (the same "ANSI" text the
// sources deliver) and any of them may be empty. The order is the order in which
// AudioSource::ReadTags fills them.
struct TagRecord {
  std::string title;
  std::string artist;
  std::string album;
  std::string year;   // free text
  std::string genre;  // a genre name as free text
  std::string comment;
  std::string track;  // "3" in Add mode; whatever the source holds in Transfer mode ("3/12")
  std::string composer;
  std::string copyright;
  // Some text holds, or will be written with, replacement characters: it had characters
  // the system code page cannot hold, or bytes that were no text in it.
  bool textReplaced = false;

  bool operator==(const TagRecord&) const = default;
};

}  // namespace sonorell
