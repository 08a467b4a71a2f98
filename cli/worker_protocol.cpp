#include "cli/worker_protocol.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "cli/json_text.h"

namespace sonorell {
namespace {

std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
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
  return out;
}

std::string Unescape(const std::string& text) {
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

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

std::string ProgressLine(int percent) {
  return "progress\t" + std::to_string(percent < 0 ? 0 : percent > 100 ? 100 : percent);
}

std::string ResultLine(const WorkerResult& result) {
  // Numbers in the C form whatever the locale, so parent and report always agree.
  const std::string secondsText = JsonNumber(result.sourceSeconds, 3);
  return std::string("result\t") + (result.converted ? "1" : "0") + "\t" + Escape(result.status) +
         "\t" + Escape(result.target) + "\t" + secondsText;
}

std::optional<int> ParseProgressLine(const std::string& line) {
  const std::vector<std::string> f = SplitTabs(line);
  if (f.size() != 2 || f[0] != "progress") return std::nullopt;
  int percent = 0;
  const auto [p, ec] = std::from_chars(f[1].data(), f[1].data() + f[1].size(), percent);
  if (ec != std::errc() || p != f[1].data() + f[1].size() || percent < 0 || percent > 100) {
    return std::nullopt;
  }
  return percent;
}

std::optional<WorkerResult> ParseResultLine(const std::string& line) {
  const std::vector<std::string> f = SplitTabs(line);
  if (f.size() != 5 || f[0] != "result" || (f[1] != "0" && f[1] != "1")) return std::nullopt;
  WorkerResult r;
  r.converted = f[1] == "1";
  r.status = Unescape(f[2]);
  r.target = Unescape(f[3]);
  const auto [p, ec] = std::from_chars(f[4].data(), f[4].data() + f[4].size(), r.sourceSeconds);
  if (ec != std::errc() || !std::isfinite(r.sourceSeconds) || r.sourceSeconds < 0) {
    r.sourceSeconds = 0;
  }
  return r;
}

}  // namespace sonorell
