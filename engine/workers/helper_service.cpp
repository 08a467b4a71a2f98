#include "engine/workers/helper_service.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <deque>
#include <string>
#include <string_view>

#include "engine/jobs/input_types.h"
#include "engine/sources/bass/default_sound_font.h"
#include "engine/workers/conversion_run.h"
#include "engine/workers/helper_protocol.h"
#include "engine/workers/line_splitter.h"
#include "engine/workers/probe_run.h"
#include "platform/desktop/program_folder.h"
#include "platform/files/write_all.h"

namespace sonorell {
namespace {

// The window's requests are short; a longer line is not one of them.
constexpr size_t kMaxRequestLine = 1 << 20;
// The helper's workers yield to the window, so the desktop stays usable during a long run.
constexpr int kWorkerNice = 10;

// The window's end of the conversation: lines in, events out.
class WindowLink {
 public:
  WindowLink(int in, int out) : in_(in), out_(out) {}

  void Send(const std::string& line) {
    const std::string whole = line + "\n";
    platform::WriteAll(out_, whole.data(), whole.size());
  }

  // Waits for the next complete request; false when the window has gone.
  bool NextRequest(RequestReader& reader) {
    while (!ended_) {
      if (TakeQueued(reader)) return true;
      if (!ReadSome(-1)) ended_ = true;
    }
    return TakeQueued(reader);
  }

  // Looks, without waiting, whether the window cancelled the request under way (or went).
  bool CancelRequested() {
    if (!cancelled_ && !ended_ && !ReadSome(0)) ended_ = true;
    for (auto it = queued_.begin(); it != queued_.end();) {
      if (*it == kCancelLine) {
        cancelled_ = true;
        it = queued_.erase(it);
      } else {
        ++it;
      }
    }
    return cancelled_ || ended_;
  }

  void RequestDone() { cancelled_ = false; }

 private:
  bool TakeQueued(RequestReader& reader) {
    while (!queued_.empty()) {
      const std::string line = std::move(queued_.front());
      queued_.pop_front();
      // A Cancel that crossed the end of the request it was meant for means nothing now.
      if (line != kCancelLine && reader.Feed(line)) return true;
    }
    return false;
  }

  // Reads what has arrived, waiting up to timeoutMs (-1: until something comes). False at
  // the end of the input.
  bool ReadSome(int timeoutMs) {
    pollfd p{in_, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs);
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return true;
    char buffer[64 * 1024];
    const ssize_t n = ::read(in_, buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) return false;
    splitter_.Feed(std::string_view(buffer, static_cast<size_t>(n)),
                   [this](const std::string& line) { queued_.push_back(line); });
    return true;
  }

  int in_;
  int out_;
  LineSplitter splitter_{kMaxRequestLine};
  std::deque<std::string> queued_;
  bool cancelled_ = false;
  bool ended_ = false;
};

// MIDI files are probed and rendered through the default sound font; it is loaded here
// once, the first time a MIDI file comes, so every worker inherits it ready.
bool SoundFontLoaded() {
  static const bool loaded = LoadDefaultSoundFont(platform::ShippedFilesFolder());
  return loaded;
}

bool Convert(const ConvertRequest& request, WindowLink& link) {
  // The window decided whether MIDI files can be converted; the font is loaded here once so
  // every worker inherits it ready.
  bool fontReady = request.soundFontReady;
  if (fontReady && std::any_of(request.entries.begin(), request.entries.end(),
                               [](const RunEntry& e) { return e.file.InputType == kInputMidi; })) {
    fontReady = SoundFontLoaded();
  }
  const RunPlan plan = PlanRun(request.settings, request.entries, fontReady, false);
  RunEvents events;
  events.started = [&](size_t i) { link.Send(StartedLine(i)); };
  events.percent = [&](size_t i, int percent) { link.Send(PercentLine(i, percent)); };
  events.finished = [&](size_t i, const FileOutcome& o) { link.Send(FinishedLine(i, o)); };
  events.noted = [&](size_t i, const std::string& note) { link.Send(NotedLine(i, note)); };
  RunControl control;
  control.parallel = request.parallel;
  control.silenceLimit = request.silenceLimit;
  control.niceIncrement = kWorkerNice;
  control.cancelRequested = [&link] { return link.CancelRequested(); };
  return RunConversions(plan, control, events);
}

bool Probe(const ProbeRequest& request, WindowLink& link) {
  if (std::any_of(request.paths.begin(), request.paths.end(),
                  [](const std::string& p) { return InputTypeForPath(p) == kInputMidi; })) {
    SoundFontLoaded();
  }
  ProbeControl control;
  control.parallel = request.parallel;
  control.silenceLimit = request.silenceLimit;
  control.cancelRequested = [&link] { return link.CancelRequested(); };
  return RunProbes(request.paths, control,
                   [&link](const ProbeReport& r) { link.Send(ProbedLine(r)); });
}

}  // namespace

int ServeWorkerRequests(int in, int out) {
  // A window that went away must not end us in the middle of stopping our workers.
  std::signal(SIGPIPE, SIG_IGN);
  WindowLink link(in, out);
  for (;;) {
    RequestReader reader;
    if (!link.NextRequest(reader)) return 0;
    const bool cancelled =
        reader.convert ? Convert(*reader.convert, link) : Probe(*reader.probe, link);
    link.Send(EndLine(cancelled));
    link.RequestDone();
  }
}

}  // namespace sonorell
