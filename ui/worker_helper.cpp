#include "ui/worker_helper.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <string_view>

#include "engine/workers/helper_service.h"

namespace sonorell {

WorkerHelper::WorkerHelper(std::string program, QObject* parent)
    : QObject(parent), program_(std::move(program)) {}

WorkerHelper::~WorkerHelper() {
  if (process_ && process_->state() != QProcess::NotRunning) {
    // The end of its input is the helper's signal to stop its workers and go.
    process_->closeWriteChannel();
    if (!process_->waitForFinished(3000)) {
      process_->kill();
      process_->waitForFinished(1000);
    }
  }
}

bool WorkerHelper::EnsureStarted() {
  if (process_ && process_->state() == QProcess::Running) return true;
  process_.reset();
  lines_.clear();
  splitter_ = LineSplitter(1 << 20);
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  connect(process_.get(), &QProcess::readyReadStandardOutput, this, [this] { ReadOutput(); });
  process_->start(QString::fromStdString(program_), {QString::fromUtf8(kWorkerHelperCommand)},
                  QIODevice::ReadWrite);
  return process_->waitForStarted(5000);
}

void WorkerHelper::Send(const std::vector<std::string>& lines) {
  if (!process_) return;
  std::string block;
  for (const std::string& line : lines) block += line + "\n";
  process_->write(block.data(), static_cast<qint64>(block.size()));
}

void WorkerHelper::SendCancel() {
  Send({kCancelLine});
}

void WorkerHelper::ReadOutput() {
  const QByteArray data = process_->readAllStandardOutput();
  splitter_.Feed(std::string_view(data.constData(), static_cast<size_t>(data.size())),
                 [this](const std::string& line) { lines_.push_back(line); });
}

bool WorkerHelper::Ended() const {
  return !process_ || process_->state() == QProcess::NotRunning;
}

std::optional<HelperEvent> WorkerHelper::NextEvent(std::chrono::milliseconds wait) {
  for (bool waited = false;; waited = true) {
    while (!lines_.empty()) {
      const std::string line = std::move(lines_.front());
      lines_.pop_front();
      if (std::optional<HelperEvent> event = ParseHelperEvent(line)) return event;
    }
    if (waited || Ended()) return std::nullopt;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(process_.get(), &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
    connect(process_.get(), &QProcess::finished, &loop, &QEventLoop::quit);
    timer.start(wait);
    loop.exec();
    if (process_->bytesAvailable() > 0) ReadOutput();
  }
}

}  // namespace sonorell
