#include "fuzzentries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzIdentityQuery(data, size);
  return 0;
}
