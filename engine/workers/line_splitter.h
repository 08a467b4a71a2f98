#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sonorell {

// Cuts a byte stream into lines as it arrives: a line may come in several pieces and a piece
// may hold several lines. Lines are handed on without their line break (and without a
// carriage return before it). A line longer than the limit is noise (a library printing
// a dump), not a message: it is dropped whole.
class LineSplitter {
 public:
  explicit LineSplitter(size_t maxLineBytes) : max_(maxLineBytes) {}

  template <typename OnLine>
  void Feed(std::string_view data, OnLine&& onLine) {
    while (!data.empty()) {
      const size_t newline = data.find('\n');
      const std::string_view piece = data.substr(0, newline);
      if (!discarding_) {
        if (partial_.size() + piece.size() > max_) {
          discarding_ = true;
          partial_.clear();
        } else {
          partial_.append(piece);
        }
      }
      if (newline == std::string_view::npos) return;
      Emit(onLine);
      data.remove_prefix(newline + 1);
    }
  }

  // The stream ended: a last line without its line break still counts.
  template <typename OnLine>
  void Finish(OnLine&& onLine) {
    if (!partial_.empty() || discarding_) Emit(onLine);
  }

 private:
  template <typename OnLine>
  void Emit(OnLine& onLine) {
    if (!discarding_) {
      if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
      onLine(partial_);
    }
    partial_.clear();
    discarding_ = false;
  }

  size_t max_;
  std::string partial_;
  bool discarding_ = false;
};

}  // namespace sonorell
