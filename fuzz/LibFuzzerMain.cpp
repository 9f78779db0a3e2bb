// The libFuzzer program of one entry; KILNMARK_FUZZ_ENTRY names it (CMakeLists.txt).

#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return km::fuzz::KILNMARK_FUZZ_ENTRY(data, size);
}
