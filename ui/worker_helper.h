#pragma once

#include <QObject>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/workers/helper_protocol.h"
#include "engine/workers/line_splitter.h"

class QProcess;

namespace sonorell {

// The window's worker helper: the batch program in its helper mode, started once and kept
// for the window's life (again after it ended). The window never forks; the helper, a
// single-threaded process, forks the workers that convert and probe. Its events are read
// from the event loop, so the window stays responsive while it waits for them.
class WorkerHelper : public QObject {
 public:
  explicit WorkerHelper(std::string program, QObject* parent = nullptr);
  ~WorkerHelper() override;
  WorkerHelper(const WorkerHelper&) = delete;
  WorkerHelper& operator=(const WorkerHelper&) = delete;

  // Starts the helper when it is not running; false when it cannot be started.
  bool EnsureStarted();
  void Send(const std::vector<std::string>& lines);
  void SendCancel();

  // The next event, running the event loop for at most `wait` while none has come; nothing
  // when none came in time or the helper has ended (Ended tells which).
  std::optional<HelperEvent> NextEvent(std::chrono::milliseconds wait);
  bool Ended() const;

 private:
  void ReadOutput();

  std::string program_;
  std::unique_ptr<QProcess> process_;
  LineSplitter splitter_{1 << 20};
  std::deque<std::string> lines_;
};

}  // namespace sonorell
