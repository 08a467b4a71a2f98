#include "engine/sources/failure_note.h"

#include <mutex>
#include <utility>

namespace sonorell {
namespace {

// The chunk encoders of a long file run on threads of their own and may fail at once.
struct Note {
  std::mutex mutex;
  std::string text;
};

Note& TheNote() {
  static Note note;
  return note;
}

}  // namespace

std::string GetFailureNote() {
  Note& note = TheNote();
  const std::lock_guard lock(note.mutex);
  return note.text;
}
void SetFailureNote(std::string text) {
  Note& note = TheNote();
  const std::lock_guard lock(note.mutex);
  note.text = std::move(text);
}
void ClearFailureNote() {
  Note& note = TheNote();
  const std::lock_guard lock(note.mutex);
  note.text.clear();
}

}  // namespace sonorell
