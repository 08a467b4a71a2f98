#pragma once

#include <optional>

#include "engine/encoders/mp3/lame_encoder.h"
#include "engine/encoders/mp3/mp3_tag_blocks.h"
#include "engine/encoders/split/chunk_codec.h"
#include "engine/encoders/staged_output.h"

namespace sonorell {

// MP3 output encoded on several cores: chunk encoders of exactly the single-pass parameters
// for channels (what LAME receives), joined into out with the tags around the stream.
// nullopt, with nothing written, when LAME refuses the parameters: the single-pass writer
// then says why.
std::optional<SplitFormat> OpenMp3Split(StagedOutput& out, const Mp3Parameters& parameters,
                                        int channels, Mp3TagBlocks tags);

}  // namespace sonorell
