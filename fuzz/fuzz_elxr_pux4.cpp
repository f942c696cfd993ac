// Fuzz target: the elxr reader of Pux4 listings, including the rewrite of ".data" and the second
// pass over the file for the two stack symbol lines.
#include <cstddef>
#include <cstdint>

#include "fuzz/elxr_target.h"
#include "mapfile/c_map_file_elxr_pux_ecu_4x.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  static const elxr_reference reference{
      std::regex(named_section_regex(pux4_names()), std::regex::ECMAScript), 0x03FFFFFF, true};
  return fuzz_elxr_reader<c_map_file_elxr_pux_ecu_4x>(data, size, reference);
}
