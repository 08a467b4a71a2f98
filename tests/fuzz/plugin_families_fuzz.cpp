// Feeds arbitrary bytes to the plug-in family lookup as a plug-in path and as a family
// number: a name maps to a family or to none, and no number is out of reach.
#include <string>

#include "platform/bass/plugin_families.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace bass = platform::bass;
  const std::string name(reinterpret_cast<const char*>(data), size);
  const int family = bass::PluginFamily(name);
  if (family < -1) __builtin_trap();
  if (family == -1 && bass::FamilyAvailable(family)) __builtin_trap();
  (void)bass::FamilyAvailable(family);
  int number = 0;
  for (size_t i = 0; i < size && i < 4; ++i) number = (number << 8) | data[i];
  (void)bass::FamilyAvailable(number);
  return 0;
}
