#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/convert_command.h"
#include "engine/jobs/decoding_libraries.h"

int main(int argc, char** argv) {
  // Tag texts and file names are the locale's text; without this every non-ASCII tag
  // would fail its conversion.
  std::setlocale(LC_ALL, "");
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::printf(
        "Sonorell batch converter\n"
        "usage: sonorell-cli convert --format FMT [--out DIR] PATH...\n");
    return args.empty() ? sonorell::kExitUsage : sonorell::kExitConverted;
  }
  if (args[0] == "convert") {
    std::string error;
    if (!sonorell::StartDecodingLibraries(error)) {
      std::fprintf(stderr, "sonorell-cli: %s\n", error.c_str());
      return sonorell::kExitSomeFailed;
    }
    const int status =
        sonorell::RunConvertCommand(std::vector<std::string>(args.begin() + 1, args.end()));
    sonorell::StopDecodingLibraries();
    return status;
  }
  std::fprintf(stderr, "sonorell-cli: unknown command \"%s\"\n", args[0].c_str());
  return sonorell::kExitUsage;
}
