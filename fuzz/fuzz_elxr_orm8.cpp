// Fuzz target: the elxr reader of Orm8 listings (the elxr reading with the Orm8 names).
#include <cstddef>
#include <cstdint>

#include "fuzz/elxr_target.h"
#include "mapfile/c_map_file_elxr_orm8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  static const elxr_reference reference{
      std::regex(named_section_regex(orm8_names()), std::regex::ECMAScript), 0x03FFFFFF, false};
  return fuzz_elxr_reader<c_map_file_elxr_orm8>(data, size, reference);
}
