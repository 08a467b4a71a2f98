#include <cstdio>
#include <string>
#include <vector>

#include "cli/convert_command.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::printf(
        "Sonorell batch converter\n"
        "usage: sonorell-cli convert --format FMT [--out DIR] PATH...\n");
    return args.empty() ? sonorell::kExitUsage : sonorell::kExitConverted;
  }
  if (args[0] == "convert") {
    return sonorell::RunConvertCommand(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  std::fprintf(stderr, "sonorell-cli: unknown command \"%s\"\n", args[0].c_str());
  return sonorell::kExitUsage;
}
