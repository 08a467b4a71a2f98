#pragma once

#include <optional>
#include <vector>

#include "engine/encoders/opus/opus_parameters.h"
#include "engine/encoders/split/chunk_codec.h"
#include "engine/encoders/staged_output.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"

namespace sonorell {

// An Ogg Opus file encoded on several cores, for the writer's input at rate: chunks on the
// grid of whole 20 ms packets, each encoded by libopusenc with the file's options after a
// lead that lets it settle, joined into one stream with the header (comments, room for
// gains, pre-skip) the single-pass encoder of the file would have written. At each join
// the later chunk's first packet is made with libopus' prediction off, so that it decodes
// alike after the earlier chunk's packets as after its own (whatever state or mode, CELT,
// SILK or hybrid, its encoder had settled in). Nothing, with a failure note, when libopusenc
// refuses the options; nothing is written then.
std::optional<SplitFormat> OpenOpusSplit(StagedOutput& out, int rate, int channels,
                                         const OpusParameters& parameters, int serial,
                                         const std::vector<CommentField>& comments);

}  // namespace sonorell
