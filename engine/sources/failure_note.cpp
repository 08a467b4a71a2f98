#include "engine/sources/failure_note.h"

#include <utility>

namespace sonorell {
namespace {

std::string& Note() {
  static std::string note;
  return note;
}

}  // namespace

const std::string& GetFailureNote() {
  return Note();
}
void SetFailureNote(std::string note) {
  Note() = std::move(note);
}
void ClearFailureNote() {
  Note().clear();
}

}  // namespace sonorell
