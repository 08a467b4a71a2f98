#pragma once

#include <string>

namespace sonorell {

// The reason of the last failure to open a file, shown after "Conversion Failure" and at
// the end of the intake's failure message. The source factory writes it when converting;
// intake writes its own notes. One note for the whole program, like the list it explains.
const std::string& GetFailureNote();
void SetFailureNote(std::string note);
void ClearFailureNote();

}  // namespace sonorell
