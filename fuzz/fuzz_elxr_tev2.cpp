// Fuzz target: the elxr reader of Tev2 listings (the base elxr reader: 40 names, 26-bit addresses).
#include <cstddef>
#include <cstdint>

#include "fuzz/elxr_target.h"
#include "mapfile/c_map_file_elxr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  static const elxr_reference reference{
      std::regex(named_section_regex(tev2_names()), std::regex::ECMAScript), 0x03FFFFFF, false};
  return fuzz_elxr_reader<c_map_file_elxr>(data, size, reference);
}
