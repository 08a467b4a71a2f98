#include "cli/terminal_progress.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace sonorell {
namespace {

volatile std::sig_atomic_t gCancel = 0;

extern "C" void OnInterrupt(int) {
  gCancel = 1;
  // The next Ctrl+C is not ours to soften.
  std::signal(SIGINT, SIG_DFL);
}

extern "C" void OnInterruptKept(int) {
  gCancel = 1;
}

}  // namespace

TerminalProgress::TerminalProgress(bool secondInterruptExits)
    : enabled_(::isatty(STDERR_FILENO) == 1) {
  gCancel = 0;
  std::signal(SIGINT, secondInterruptExits ? OnInterrupt : OnInterruptKept);
  std::signal(SIGTERM, OnInterruptKept);
}

TerminalProgress::~TerminalProgress() {
  ClearLine();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

bool TerminalProgress::CancelRequested() const {
  return gCancel != 0;
}

void TerminalProgress::SetFileLine(const std::string& text) {
  fileLine_ = text;
  Redraw();
}

void TerminalProgress::SetFileBarRange(int maximum) {
  fileMax_ = std::max(1, maximum);
}

void TerminalProgress::SetFileBarPos(int position) {
  const int clamped = std::clamp(position, 0, fileMax_);
  if (clamped == filePos_) return;
  filePos_ = clamped;
  Redraw();
}

void TerminalProgress::SetOverallLine(const std::string& text) {
  overallLine_ = text;
  Redraw();
}

void TerminalProgress::SetOverallBarRange(int maximum) {
  overallMax_ = std::max(1, maximum);
  overallPos_ = 0;
}

void TerminalProgress::StepOverallBar() {
  overallPos_ = std::min(overallMax_, overallPos_ + 1);
}

void TerminalProgress::ClearLine() {
  if (!enabled_ || !drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

void TerminalProgress::Redraw() {
  if (!enabled_) return;
  const int filled = static_cast<int>(static_cast<long long>(filePos_) * kBarCells / fileMax_);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kBarCells, '.');
  std::fprintf(stderr, "\r\033[K[%s] %s %s", bar.c_str(), overallLine_.c_str(), fileLine_.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

}  // namespace sonorell
