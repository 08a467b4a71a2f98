#pragma once

#include <string>

namespace sonorell {

// What a conversion run shows while it works: a file line and bar driven by the encoder,
// an overall line and bar driven by the run, and a Cancel the user may press. The desktop
// window, the terminal bar and the tests' recorder implement it.
class ConvertProgress {
 public:
  virtual ~ConvertProgress() = default;

  virtual void SetFileLine(const std::string& text) = 0;
  // Width of the file bar in pixels (or cells); the encoder uses it as the bar's range.
  virtual int FileBarWidth() const = 0;
  virtual void SetFileBarRange(int maximum) = 0;
  virtual void SetFileBarPos(int position) = 0;

  virtual void SetOverallLine(const std::string& text) = 0;
  virtual void SetOverallBarRange(int maximum) = 0;
  virtual void StepOverallBar() = 0;

  // Lets the window breathe between blocks: repaints, moves and the Cancel button.
  virtual void PumpMessages() = 0;
  virtual bool CancelRequested() const = 0;

  // Several files at once: one file line and bar per running file ("slot"). Slot 0 is the
  // file line and bar above; a display with one line only shows every slot there.
  virtual void SetFileSlots(int /*count*/) {}
  virtual void SetSlotLine(int /*slot*/, const std::string& text) { SetFileLine(text); }
  virtual int SlotBarWidth(int /*slot*/) const { return FileBarWidth(); }
  virtual void SetSlotBarRange(int /*slot*/, int maximum) { SetFileBarRange(maximum); }
  virtual void SetSlotBarPos(int /*slot*/, int position) { SetFileBarPos(position); }
  // The slot's file has ended and no other has taken it yet.
  virtual void ClearSlot(int /*slot*/) {}
};

}  // namespace sonorell
