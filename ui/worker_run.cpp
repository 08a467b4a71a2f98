#include "ui/worker_run.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/encoders/file_progress.h"
#include "engine/jobs/output_formats.h"
#include "engine/paths/path_rules.h"
#include "engine/workers/helper_protocol.h"
#include "ui/worker_helper.h"

namespace sonorell {
namespace {

constexpr std::chrono::milliseconds kCancelLook{100};
constexpr int kMaxSlots = 64;

// What the window shows of one run while the helper works through it.
class RunView {
 public:
  RunView(std::span<SourceFile* const> entries, std::span<const int> rows, const Settings& settings,
          RunState& state, RunHost& host, ConvertProgress& progress, int parallel)
      : entries_(entries),
        rows_(rows),
        state_(state),
        host_(host),
        progress_(progress),
        formatName_(FormatName(settings.OutputFormat)),
        slots_(static_cast<size_t>(std::clamp(
                   std::min<int>(parallel, static_cast<int>(entries.size())), 1, kMaxSlots)),
               -1),
        slotOf_(entries.size(), -1),
        percent_(entries.size(), -1),
        done_(entries.size(), false),
        shown_(entries.size()) {
    progress_.SetFileSlots(static_cast<int>(slots_.size()));
  }

  void Started(size_t i) {
    if (i >= entries_.size()) return;
    const int row = Row(i);
    host_.EnsureRowVisible(row);
    host_.SetRowStatus(row, kStatusConverting);
    ++started_;
    state_.RunFileNumber = started_;
    progress_.SetOverallLine(RunLine(started_, static_cast<int>(entries_.size()), formatName_));
    progress_.StepOverallBar();
    const auto free = std::find(slots_.begin(), slots_.end(), -1);
    if (free == slots_.end()) return;
    const int slot = static_cast<int>(free - slots_.begin());
    *free = static_cast<int>(i);
    slotOf_[i] = slot;
    progress_.SetSlotLine(slot, FileStartLine(entries_[i]->SourcePath));
    progress_.SetSlotBarRange(slot, std::max(1, progress_.SlotBarWidth(slot)));
    progress_.SetSlotBarPos(slot, 0);
  }

  void Percent(size_t i, int percent) {
    if (i >= entries_.size() || slotOf_[i] < 0 || percent <= percent_[i]) return;
    percent_[i] = percent;
    const int slot = slotOf_[i];
    progress_.SetSlotLine(slot, FilePercentLine(FileNamePart(entries_[i]->SourcePath), percent));
    progress_.SetSlotBarPos(slot, std::max(1, progress_.SlotBarWidth(slot)) * percent / 100);
  }

  void Finished(size_t i, const FileOutcome& o) {
    if (i >= entries_.size() || done_[i]) return;
    done_[i] = true;
    if (slotOf_[i] >= 0) {
      slots_[static_cast<size_t>(slotOf_[i])] = -1;
      // With one slot the designed window keeps the last file's line until the next starts.
      if (slots_.size() > 1) progress_.ClearSlot(slotOf_[i]);
    }
    SourceFile& e = *entries_[i];
    const int row = Row(i);
    if (o.converted) {
      e.TargetPath = o.target;
      // The output's name, with a note after it when there is something to tell.
      const std::string name = FileNamePart(o.target);
      const bool noted = o.status.starts_with(name + " (");
      if (noted) WidenStatusColumn(state_, host_);
      shown_[i] = noted ? o.status : name;
      host_.SetRowStatus(row, shown_[i]);
      return;
    }
    e.TargetPath.clear();
    // A file the run never reached keeps what its row said before.
    if (o.status == kStatusNotConverted) return;
    if (o.status.starts_with(std::string(kStatusConversionFailure) + " (")) {
      WidenStatusColumn(state_, host_);
    }
    host_.SetRowStatus(row, o.status);
  }

  // A converted file learned something after it finished (its album gain failed).
  void Noted(size_t i, const std::string& note) {
    if (i >= entries_.size() || shown_[i].empty()) return;
    shown_[i] += " (" + note + ")";
    WidenStatusColumn(state_, host_);
    host_.SetRowStatus(Row(i), shown_[i]);
  }

  // The helper went away in the middle of the run: the files it had not finished failed.
  void HelperLost() {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (done_[i]) continue;
      FileOutcome o;
      // Never a silent row: the user pressed Convert and this file did not convert.
      o.status = std::string(kStatusConversionFailure) +
                 (slotOf_[i] >= 0 ? " (worker ended without a result)"
                                  : " (the worker could not be started)");
      Finished(i, o);
    }
  }

 private:
  int Row(size_t i) const { return i < rows_.size() ? rows_[i] : static_cast<int>(i); }

  std::span<SourceFile* const> entries_;
  std::span<const int> rows_;
  RunState& state_;
  RunHost& host_;
  ConvertProgress& progress_;
  std::string formatName_;
  std::vector<int> slots_;   // the file each slot shows, -1 when free
  std::vector<int> slotOf_;  // the slot each file has, -1 when none
  std::vector<int> percent_;
  std::vector<bool> done_;
  std::vector<std::string> shown_;  // the Status text of each converted file
  int started_ = 0;
};

bool RunThroughHelper(WorkerHelper& helper, const WorkerRunOptions& options,
                      std::span<SourceFile* const> entries, std::span<const int> rows,
                      const Settings& settings, RunState& state, RunHost& host,
                      ConvertProgress& progress) {
  ConvertRequest request;
  request.parallel = std::max(1, options.parallel);
  request.silenceLimit = options.silenceLimit;
  request.soundFontReady = state.SoundFontReady;
  request.settings = settings;
  for (size_t i = 0; i < entries.size(); ++i) {
    request.entries.push_back({*entries[i], static_cast<int>(i) + 1});
  }
  RunView view(entries, rows, settings, state, host, progress, request.parallel);
  helper.Send(RequestLines(request));

  bool cancelSent = false;
  for (;;) {
    if (!cancelSent && progress.CancelRequested()) {
      helper.SendCancel();
      cancelSent = true;
    }
    const std::optional<HelperEvent> event = helper.NextEvent(kCancelLook);
    if (!event) {
      if (!helper.Ended()) continue;
      view.HelperLost();
      return cancelSent;
    }
    switch (event->kind) {
      case HelperEvent::Kind::kStarted:
        view.Started(event->index);
        break;
      case HelperEvent::Kind::kPercent:
        view.Percent(event->index, event->percent);
        break;
      case HelperEvent::Kind::kFinished:
        view.Finished(event->index, event->outcome);
        break;
      case HelperEvent::Kind::kNoted:
        view.Noted(event->index, event->note);
        break;
      case HelperEvent::Kind::kEnd:
        return cancelSent || event->cancelled || progress.CancelRequested();
      case HelperEvent::Kind::kProbed:
        break;
    }
  }
}

}  // namespace

FileLoop WorkerFileLoop(WorkerHelper& helper, const WorkerRunOptions& options,
                        const RunServices& services) {
  return [&helper, options, services](std::span<SourceFile* const> entries,
                                      std::span<const int> rows, const Settings& settings,
                                      RunState& state, RunHost& host, ConvertProgress& progress) {
    if (!helper.EnsureStarted()) {
      std::fprintf(stderr, "sonorell: the worker helper cannot be started; converting here\n");
      return ConvertOneByOne(entries, rows, settings, state, host, services, progress);
    }
    return RunThroughHelper(helper, options, entries, rows, settings, state, host, progress);
  };
}

}  // namespace sonorell
