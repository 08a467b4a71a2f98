#pragma once

#include <functional>
#include <string>
#include <utility>

#include "engine/encoders/convert_progress.h"

namespace sonorell {

// Lends a longer-lived progress display to one run: every call goes through to it, and
// releasing the lender runs onClose (the run's close request).
class ForwardingProgress : public ConvertProgress {
 public:
  ForwardingProgress(ConvertProgress& target, std::function<void()> onClose)
      : target_(target), onClose_(std::move(onClose)) {}
  ~ForwardingProgress() override {
    if (onClose_) onClose_();
  }
  ForwardingProgress(const ForwardingProgress&) = delete;
  ForwardingProgress& operator=(const ForwardingProgress&) = delete;

  void SetFileLine(const std::string& t) override { target_.SetFileLine(t); }
  int FileBarWidth() const override { return target_.FileBarWidth(); }
  void SetFileBarRange(int m) override { target_.SetFileBarRange(m); }
  void SetFileBarPos(int p) override { target_.SetFileBarPos(p); }
  void SetOverallLine(const std::string& t) override { target_.SetOverallLine(t); }
  void SetOverallBarRange(int m) override { target_.SetOverallBarRange(m); }
  void StepOverallBar() override { target_.StepOverallBar(); }
  void PumpMessages() override { target_.PumpMessages(); }
  bool CancelRequested() const override { return target_.CancelRequested(); }
  void SetFileSlots(int n) override { target_.SetFileSlots(n); }
  void SetSlotLine(int s, const std::string& t) override { target_.SetSlotLine(s, t); }
  int SlotBarWidth(int s) const override { return target_.SlotBarWidth(s); }
  void SetSlotBarRange(int s, int m) override { target_.SetSlotBarRange(s, m); }
  void SetSlotBarPos(int s, int p) override { target_.SetSlotBarPos(s, p); }
  void ClearSlot(int s) override { target_.ClearSlot(s); }

 private:
  ConvertProgress& target_;
  std::function<void()> onClose_;
};

}  // namespace sonorell
