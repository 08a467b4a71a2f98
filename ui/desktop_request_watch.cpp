#include "ui/desktop_request_watch.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <optional>
#include <utility>

namespace sonorell {
namespace {

class DesktopRequestWatch : public QObject {
 public:
  DesktopRequestWatch(platform::DesktopRequest request, DesktopAnswer answer, QObject* context)
      : QObject(context), request_(std::move(request)), answer_(std::move(answer)) {}

  // Takes what the request knows now, then waits for its running helper without blocking.
  void Step() {
    if (const std::optional<bool> outcome = request_.Advance()) {
      QTimer::singleShot(0, this, [this, done = *outcome] {
        if (answer_) answer_(done);
        deleteLater();
      });
      return;
    }
    auto* notifier = new QSocketNotifier(request_.WaitHandle(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
      // The handle is closed by the step: this notifier must never look at it again.
      notifier->setEnabled(false);
      notifier->deleteLater();
      Step();
    });
  }

 private:
  platform::DesktopRequest request_;
  DesktopAnswer answer_;
};

}  // namespace

void WatchDesktopRequest(platform::DesktopRequest request, QObject* context, DesktopAnswer answer) {
  auto* watch = new DesktopRequestWatch(std::move(request), std::move(answer), context);
  watch->Step();
}

}  // namespace sonorell
