#include "cli/batch_progress.h"

#include <cmath>
#include <cstdio>

namespace sonorell {

std::string TimeLeftText(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) return {};
  const long s = std::lround(seconds);
  char text[48];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld left", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld left", s / 60, s % 60);
  }
  return text;
}

BatchProgress::BatchProgress(size_t files) : percent_(files, -1), names_(files) {
  terminal_.SetFileBarRange(1000);
}

void BatchProgress::Started(size_t index, const std::string& name) {
  percent_[index] = 0;
  names_[index] = name;
  Redraw(true);
}

void BatchProgress::Percent(size_t index, int percent) {
  percent_[index] = percent;
  Redraw(false);
}

void BatchProgress::Finished(size_t index, double sourceSeconds) {
  percent_[index] = -1;
  ++finished_;
  if (sourceSeconds > 0) {
    finishedSeconds_ += sourceSeconds;
    ++withDuration_;
  }
  Redraw(true);
}

void BatchProgress::Redraw(bool force) {
  if (!terminal_.Enabled()) return;
  const Clock::time_point now = Clock::now();
  if (!force && now - drawn_ < std::chrono::milliseconds(100)) return;
  drawn_ = now;
  const size_t total = percent_.size();
  size_t running = 0;
  double runningFraction = 0;
  size_t single = 0;
  for (size_t i = 0; i < total; ++i) {
    if (percent_[i] < 0) continue;
    ++running;
    runningFraction += percent_[i] / 100.0;
    single = i;
  }
  const double done = static_cast<double>(finished_) + runningFraction;
  terminal_.SetFileBarPos(total == 0 ? 0 : static_cast<int>(done * 1000 / total));

  std::string line = std::to_string(finished_) + " of " + std::to_string(total) + " done";
  if (running == 1) {
    line += ", " + names_[single] + " " + std::to_string(percent_[single]) + "%";
  } else if (running > 1) {
    line += ", " + std::to_string(running) + " running";
  }
  // Source seconds converted so far against the time they took: the mean length of the
  // finished files stands for the files still to come.
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  if (withDuration_ > 0 && elapsed > 0) {
    const double mean = finishedSeconds_ / static_cast<double>(withDuration_);
    const double doneSeconds = finishedSeconds_ + runningFraction * mean;
    const double leftSeconds = (static_cast<double>(total) - done) * mean;
    if (doneSeconds > 0) line += ", " + TimeLeftText(leftSeconds * elapsed / doneSeconds);
  }
  terminal_.SetOverallLine(line);
}

}  // namespace sonorell
