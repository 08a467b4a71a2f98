#include <fcntl.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/convert_command.h"
#include "cli/probe_command.h"
#include "engine/jobs/decoding_libraries.h"
#include "engine/workers/helper_service.h"

namespace {

constexpr const char* kMainUsage =
    "Sonorell batch converter\n"
    "usage: sonorell-cli convert --format FMT [options] PATH...\n"
    "       sonorell-cli probe [--json] PATH...\n"
    "       sonorell-cli --version\n"
    "  sonorell-cli convert --help and sonorell-cli probe --help list every option.\n";

// Runs a command with the decoding libraries started around it.
template <typename Command>
int WithDecoders(Command command, const std::vector<std::string>& args) {
  std::string error;
  if (!sonorell::StartDecodingLibraries(error)) {
    std::fprintf(stderr, "sonorell-cli: %s\n", error.c_str());
    return sonorell::kExitSomeFailed;
  }
  const int status = command(args);
  sonorell::StopDecodingLibraries();
  return status;
}

// Keeps standard output for the window alone: a library that prints goes to standard error.
int ServeWindow(const std::vector<std::string>&) {
  std::fflush(stdout);
  const int toWindow = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (toWindow < 0) return sonorell::kExitSomeFailed;
  ::dup2(STDERR_FILENO, STDOUT_FILENO);
  const int status = sonorell::ServeWorkerRequests(STDIN_FILENO, toWindow);
  ::close(toWindow);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Tag texts and file names are the locale's text; without this every non-ASCII tag
  // would fail its conversion.
  std::setlocale(LC_ALL, "");
  // Numbers printed for scripts stay in the C form.
  std::setlocale(LC_NUMERIC, "C");
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kMainUsage, args.empty() ? stderr : stdout);
    return args.empty() ? sonorell::kExitUsage : sonorell::kExitConverted;
  }
  if (args[0] == "--version" || args[0] == "-V") {
    std::printf("sonorell-cli %s\n", SONORELL_VERSION);
    return sonorell::kExitConverted;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "convert") return WithDecoders(sonorell::RunConvertCommand, rest);
  if (args[0] == "probe") return WithDecoders(sonorell::RunProbeCommand, rest);
  // The desktop window's worker helper (not for people): requests on standard input,
  // events on standard output.
  if (args[0] == sonorell::kWorkerHelperCommand) return WithDecoders(ServeWindow, rest);
  std::fprintf(stderr, "sonorell-cli: unknown command \"%s\"\n%s", args[0].c_str(), kMainUsage);
  return sonorell::kExitUsage;
}
