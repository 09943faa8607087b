// libFuzzer entry points of one target, chosen by TOVRENA_FUZZ_BODY when compiled.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!PrepareFuzzing(TOVRENA_LIBAV_DIR)) {
    std::fprintf(stderr, "The media libraries cannot be bound from %s\n", TOVRENA_LIBAV_DIR);
    std::exit(1);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TOVRENA_FUZZ_BODY(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
