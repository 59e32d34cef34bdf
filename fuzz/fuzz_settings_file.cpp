#include "shellentries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSettingsFile(data, size);
  return 0;
}
