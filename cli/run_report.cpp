#include "cli/run_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/json_text.h"
#include "engine/jobs/conversion_job.h"
#include "cli/plainly_not_audio.h"
#include "engine/jobs/target_path.h"
#include "platform/files/unique_fd.h"
#include "platform/files/write_all.h"

namespace sonorell {

bool IsSkipped(const FileOutcome& outcome) {
  return !outcome.converted &&
         (outcome.status == kStatusTargetSkipped || outcome.status == kStatusNotAudio);
}

std::string ReportJson(const std::vector<FileOutcome>& outcomes) {
  std::string json = "[";
  for (size_t i = 0; i < outcomes.size(); ++i) {
    const FileOutcome& o = outcomes[i];
    json += i == 0 ? "\n" : ",\n";
    json += "  {\"source\": " + JsonString(o.source) + ", \"target\": " + JsonString(o.target) +
            ", \"status\": " + JsonString(o.status) +
            ", \"converted\": " + (o.converted ? "true" : "false") +
            ", \"partial\": " + (o.converted && IsPartialStatus(o.status) ? "true" : "false") +
            ", \"skipped\": " + (IsSkipped(o) ? "true" : "false") +
            ", \"duration\": " + JsonNumber(o.durationSeconds, 3) +
            ", \"seconds\": " + JsonNumber(o.secondsTaken, 3) + "}";
  }
  json += outcomes.empty() ? "]\n" : "\n]\n";
  return json;
}

bool WriteReport(const std::string& path, const std::vector<FileOutcome>& outcomes,
                 std::string& error) {
  const std::string json = ReportJson(outcomes);
  std::string temp = path + ".XXXXXX";
  platform::UniqueFd fd(::mkstemp(temp.data()));
  if (!fd.valid()) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = platform::WriteAll(fd.get(), json.data(), json.size()) &&
            ::fchmod(fd.get(), 0644) == 0 && ::fsync(fd.get()) == 0;
  const int saved = errno;
  ok = fd.Close() && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    error = "cannot write " + path + ": " + std::strerror(errno ? errno : saved);
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace sonorell
