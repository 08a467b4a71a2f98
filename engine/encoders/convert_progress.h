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
};

}  // namespace sonorell
