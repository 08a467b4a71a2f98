#pragma once

#include <functional>

#include "platform/desktop/desktop_request.h"

class QObject;

namespace sonorell {

// What became of something asked of the desktop: true when it was done.
using DesktopAnswer = std::function<void(bool done)>;

// Carries a desktop request on the event loop: nothing waits for its helper programs, and
// answer is called once they have answered, always from the event loop (never before this
// returns). The watch is a child of context and goes with it, unanswered.
void WatchDesktopRequest(platform::DesktopRequest request, QObject* context, DesktopAnswer answer);

}  // namespace sonorell
