#include "engine/workers/helper_protocol.h"

#include "settings/settings_text.h"

namespace sonorell {
namespace {

std::optional<size_t> Index(const std::string& text) {
  const std::optional<int64_t> n = WholeNumber(text);
  if (!n || *n < 0) return std::nullopt;
  return static_cast<size_t>(*n);
}

// A count of 1 to 256 (files at once) or seconds of 0 to a week (silence limit).
std::optional<int> Bounded(const std::string& text, int low, int high) {
  const std::optional<int64_t> n = WholeNumber(text);
  if (!n || *n < low || *n > high) return std::nullopt;
  return static_cast<int>(*n);
}

constexpr int kMaxParallel = 256;
constexpr int kMaxSilenceSeconds = 7 * 24 * 3600;

}  // namespace

std::vector<std::string> RequestLines(const ConvertRequest& r) {
  std::vector<std::string> lines{
      FieldsLine({"convert", std::to_string(r.parallel), std::to_string(r.silenceLimit.count()),
                  r.soundFontReady ? "1" : "0"}),
      FieldsLine({"settings", SettingsToText(r.settings)})};
  for (const RunEntry& e : r.entries) {
    lines.push_back(FieldsLine({"file", e.file.SourcePath, std::to_string(e.file.InputType),
                                std::to_string(e.fileNumber)}));
  }
  lines.push_back("go");
  return lines;
}

std::vector<std::string> RequestLines(const ProbeRequest& r) {
  std::vector<std::string> lines{
      FieldsLine({"probe", std::to_string(r.parallel), std::to_string(r.silenceLimit.count())})};
  for (const std::string& path : r.paths) lines.push_back(FieldsLine({"path", path}));
  lines.push_back("go");
  return lines;
}

void RequestReader::Reset() {
  convert.reset();
  probe.reset();
  broken_ = false;
  settingsSeen_ = false;
}

bool RequestReader::Feed(const std::string& line) {
  const std::vector<std::string> f = LineFields(line);
  const std::string& verb = f[0];
  if (verb == "go") {
    const bool complete = !broken_ && ((convert && settingsSeen_) || probe);
    if (!complete) Reset();
    return complete;
  }
  if (verb == "convert" || verb == "probe") {
    Reset();
    const std::optional<int> parallel =
        f.size() > 1 ? Bounded(f[1], 1, kMaxParallel) : std::nullopt;
    const std::optional<int> limit =
        f.size() > 2 ? Bounded(f[2], 0, kMaxSilenceSeconds) : std::nullopt;
    if (!parallel || !limit || f.size() != (verb == "convert" ? 4u : 3u)) {
      broken_ = true;
      return false;
    }
    if (verb == "convert") {
      convert.emplace();
      convert->parallel = *parallel;
      convert->silenceLimit = std::chrono::seconds(*limit);
      convert->soundFontReady = f[3] == "1";
    } else {
      probe.emplace();
      probe->parallel = *parallel;
      probe->silenceLimit = std::chrono::seconds(*limit);
    }
    return false;
  }
  if (verb == "settings" && convert && f.size() == 2) {
    settingsSeen_ = SettingsFromText(f[1], convert->settings);
    broken_ = broken_ || !settingsSeen_;
  } else if (verb == "file" && convert && f.size() == 4) {
    const std::optional<int64_t> type = WholeNumber(f[2]);
    const std::optional<int> number = Bounded(f[3], 1, INT32_MAX);
    if (!type || !number || *type < INT32_MIN || *type > INT32_MAX) {
      broken_ = true;
      return false;
    }
    RunEntry e;
    e.file.SourcePath = f[1];
    e.file.InputType = static_cast<InputTypeCode>(*type);
    e.fileNumber = *number;
    convert->entries.push_back(std::move(e));
  } else if (verb == "path" && probe && f.size() == 2) {
    probe->paths.push_back(f[1]);
  } else {
    broken_ = true;
  }
  return false;
}

std::string StartedLine(size_t index) {
  return FieldsLine({"started", std::to_string(index)});
}

std::string PercentLine(size_t index, int percent) {
  return FieldsLine({"percent", std::to_string(index), std::to_string(percent)});
}

std::string FinishedLine(size_t index, const FileOutcome& o) {
  return FieldsLine({"finished", std::to_string(index), o.converted ? "1" : "0", o.status, o.target,
                     SecondsText(o.durationSeconds), SecondsText(o.secondsTaken)});
}

std::string NotedLine(size_t index, const std::string& note) {
  return FieldsLine({"noted", std::to_string(index), note});
}

std::string EndLine(bool cancelled) {
  return FieldsLine({"end", cancelled ? "1" : "0"});
}

std::optional<HelperEvent> ParseHelperEvent(const std::string& line) {
  if (std::optional<ProbeReport> probed = ParseProbedLine(line)) {
    HelperEvent e;
    e.kind = HelperEvent::Kind::kProbed;
    e.index = probed->index;
    e.probe = std::move(*probed);
    return e;
  }
  const std::vector<std::string> f = LineFields(line);
  HelperEvent e;
  if (f[0] == "end" && f.size() == 2) {
    e.kind = HelperEvent::Kind::kEnd;
    e.cancelled = f[1] == "1";
    return e;
  }
  if (f.size() < 2) return std::nullopt;
  const std::optional<size_t> index = Index(f[1]);
  if (!index) return std::nullopt;
  e.index = *index;
  if (f[0] == "started" && f.size() == 2) {
    e.kind = HelperEvent::Kind::kStarted;
    return e;
  }
  if (f[0] == "percent" && f.size() == 3) {
    const std::optional<int> percent = Bounded(f[2], 0, 100);
    if (!percent) return std::nullopt;
    e.kind = HelperEvent::Kind::kPercent;
    e.percent = *percent;
    return e;
  }
  if (f[0] == "noted" && f.size() == 3) {
    e.kind = HelperEvent::Kind::kNoted;
    e.note = f[2];
    return e;
  }
  if (f[0] == "finished" && f.size() == 7 && (f[2] == "0" || f[2] == "1")) {
    e.kind = HelperEvent::Kind::kFinished;
    e.outcome.converted = f[2] == "1";
    e.outcome.status = f[3];
    e.outcome.target = f[4];
    e.outcome.durationSeconds = SecondsValue(f[5]);
    e.outcome.secondsTaken = SecondsValue(f[6]);
    return e;
  }
  return std::nullopt;
}

}  // namespace sonorell
