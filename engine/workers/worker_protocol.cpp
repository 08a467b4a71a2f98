#include "engine/workers/worker_protocol.h"

#include <charconv>
#include <cmath>

namespace sonorell {
namespace {

void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
}

std::string Unescaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

std::optional<int32_t> Whole32(std::string_view text) {
  const std::optional<int64_t> n = WholeNumber(text);
  if (!n || *n < INT32_MIN || *n > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(*n);
}

}  // namespace

std::string FieldsLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += '\t';
    AppendEscaped(line, fields[i]);
  }
  return line;
}

std::vector<std::string> LineFields(std::string_view line) {
  std::vector<std::string> fields;
  for (;;) {
    const size_t tab = line.find('\t');
    fields.push_back(Unescaped(line.substr(0, tab)));
    if (tab == std::string_view::npos) return fields;
    line.remove_prefix(tab + 1);
  }
}

std::optional<int64_t> WholeNumber(std::string_view text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || p != end) return std::nullopt;
  return value;
}

namespace {

// A non-negative quantity in the C form whatever the locale; 0 for a non-finite value.
std::string DecimalText(double value, int decimals) {
  if (!std::isfinite(value)) value = 0;
  char text[64];
  const auto [end, ec] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(text, end) : std::string("0");
}

}  // namespace

std::string SecondsText(double seconds) {
  return DecimalText(seconds, 3);
}

double SecondsValue(std::string_view text) {
  double value = 0;
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || !std::isfinite(value) || value < 0) return 0;
  return value;
}

std::string ProgressLine(int percent) {
  return "progress\t" + std::to_string(percent < 0 ? 0 : percent > 100 ? 100 : percent);
}

std::string AliveLine() {
  return "alive";
}

std::string ResultLine(const WorkerResult& result) {
  return FieldsLine({"result", result.converted ? "1" : "0", result.status, result.target,
                     SecondsText(result.sourceSeconds), result.loudness.Text(),
                     DecimalText(result.peak, 6)});
}

std::optional<int> ParseProgressLine(const std::string& line) {
  const std::vector<std::string> f = LineFields(line);
  if (f.size() != 2 || f[0] != "progress") return std::nullopt;
  const std::optional<int64_t> percent = WholeNumber(f[1]);
  if (!percent || *percent < 0 || *percent > 100) return std::nullopt;
  return static_cast<int>(*percent);
}

std::optional<WorkerResult> ParseResultLine(const std::string& line) {
  const std::vector<std::string> f = LineFields(line);
  if (f.size() != 7 || f[0] != "result" || (f[1] != "0" && f[1] != "1")) return std::nullopt;
  std::optional<LoudnessHistogram> loudness = LoudnessHistogram::FromText(f[5]);
  if (!loudness) return std::nullopt;
  WorkerResult r;
  r.loudness = std::move(*loudness);
  r.peak = SecondsValue(f[6]);
  r.converted = f[1] == "1";
  r.status = f[2];
  r.target = f[3];
  r.sourceSeconds = SecondsValue(f[4]);
  return r;
}

std::string ProbedLine(const ProbeReport& r) {
  return FieldsLine({"probed", std::to_string(r.index), r.opened ? "1" : "0", r.note,
                     std::to_string(r.file.Channels), std::to_string(r.file.ChannelMode),
                     std::to_string(r.file.SampleRate), std::to_string(r.file.BitRate),
                     std::to_string(r.file.Duration)});
}

std::optional<ProbeReport> ParseProbedLine(const std::string& line) {
  const std::vector<std::string> f = LineFields(line);
  if (f.size() != 9 || f[0] != "probed" || (f[2] != "0" && f[2] != "1")) return std::nullopt;
  const std::optional<int64_t> index = WholeNumber(f[1]);
  const std::optional<int32_t> channels = Whole32(f[4]);
  const std::optional<int32_t> mode = Whole32(f[5]);
  const std::optional<int32_t> rate = Whole32(f[6]);
  const std::optional<int32_t> bitRate = Whole32(f[7]);
  const std::optional<int32_t> duration = Whole32(f[8]);
  if (!index || *index < 0 || !channels || !mode || !rate || !bitRate || !duration) {
    return std::nullopt;
  }
  ProbeReport r;
  r.index = static_cast<size_t>(*index);
  r.opened = f[2] == "1";
  r.note = f[3];
  r.file.Channels = *channels;
  r.file.ChannelMode = *mode;
  r.file.SampleRate = *rate;
  r.file.BitRate = *bitRate;
  r.file.Duration = *duration;
  return r;
}

}  // namespace sonorell
