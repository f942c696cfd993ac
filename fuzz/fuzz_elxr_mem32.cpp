// Fuzz target: the elxr reader for full 32-bit addresses and any section
// name (bare names, leading punctuation stripped, drops by exact name).
#include <cstddef>
#include <cstdint>

#include "fuzz/elxr_target.h"
#include "mapfile/c_map_file_elxr_mem32_unlimited.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  static const elxr_reference reference{std::regex(mem32_section_regex(), std::regex::ECMAScript),
                                        0xFFFFFFFF, false};
  return fuzz_elxr_reader<c_map_file_elxr_mem32_unlimited>(data, size, reference);
}
