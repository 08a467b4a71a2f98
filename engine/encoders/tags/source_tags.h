#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/encoders/tags/tag_record.h"
#include "engine/sources/audio_source.h"
#include "engine/sources/input_type_code.h"

namespace sonorell {

// A tag reader that works on a path, shaped like AudioSource::ReadTags with the path in
// front (the MP4 metadata reader): fills the nine texts in TagRecord order, true when it
// found tags; the last argument learns whether a text got replacement characters.
using PathTagReader = std::function<bool(
    const std::string& path, std::string& title, std::string& artist, std::string& album,
    std::string& year, std::string& genre, std::string& comment, std::string& track,
    std::string& composer, std::string& copyright, bool* textReplaced)>;

// The source's own tags (AudioSource::ReadTags) as a record, with whether the source had to
// replace characters; nullopt when it has none.
std::optional<TagRecord> ReadTagsOf(AudioSource& source);

// The tags Transfer mode copies: for MP4-family inputs (M4A, MP4) the path reader first,
// when one is given; the source's own tags when that is not tried or finds nothing.
// nullopt when neither has tags. Each reader starts from empty texts, so nothing of a
// failed read leaks into the result.
std::optional<TagRecord> ReadSourceTags(InputTypeCode inputType, const std::string& sourcePath,
                                        AudioSource& source, const PathTagReader& readMp4Tags);

}  // namespace sonorell
