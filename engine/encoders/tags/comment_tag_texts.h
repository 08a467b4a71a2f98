#pragma once

#include <array>

namespace sonorell {

// The tag group of the pages whose formats carry Vorbis comments of their own (FLAC, Opus):
// the same three modes as the ID3 group (Add, Transfer, None), named as comments.
inline constexpr const char* kCommentGroupText = "Comments";
inline constexpr std::array<const char*, 3> kCommentTagTexts{
    "A&dd comments", "T&ransfer comments from source file", "&None"};
inline constexpr const char* kEditCommentsText = "Edit commen&ts";

}  // namespace sonorell
