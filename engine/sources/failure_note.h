#pragma once

#include <string>
#include <string_view>

namespace sonorell {

// The reason of the last failure to open a file, shown after "Conversion Failure" and at
// the end of the intake's failure message. The source factory writes it when converting;
// intake writes its own notes. One note for the whole program, like the list it explains.
// The note of a converted file whose source broke off and was kept as far as it could be
// decoded begins with this.
inline constexpr std::string_view kPartialNotePrefix = "partial: ";

// Any thread may set it (the chunk encoders of a long file run on threads of their own).
std::string GetFailureNote();
void SetFailureNote(std::string note);
void ClearFailureNote();

}  // namespace sonorell
