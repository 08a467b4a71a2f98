#pragma once

#include <string>

namespace sonorell {

// The small window shown while files are searched and probed: one line, one bar, Cancel.
class IntakeProgress {
 public:
  virtual ~IntakeProgress() = default;
  virtual void SetLine(const std::string& text) = 0;
  virtual void SetBarRange(int maximum) = 0;
  virtual void StepBar() = 0;
  virtual void PumpMessages() = 0;
  virtual bool CancelRequested() const = 0;
};

}  // namespace sonorell
