// Fuzz target: the GNU ld map reader on any text. A refused text comes back with a line inside
// the text (or the one after its last) and a reason, and nothing read; an accepted map keeps the
// reader's promises: every output and input section lies inside the 64-bit address space, every
// symbol inside its input section with its size reaching no further than the section's end, and
// every output section's entries sum to its size exactly when no mismatch names it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "linkmap/gnu_ld_map.h"

namespace {

using u128 = unsigned __int128;

void check_accepted(const gnu_ld_map& map) {
  const u128 space = u128{1} << 64;
  std::size_t mismatch = 0;
  for (std::size_t index = 0; index < map.output_sections.size(); ++index) {
    const gnu_ld_output_section& section = map.output_sections[index];
    FUZZ_CHECK(u128{section.address} + section.size <= space);
    FUZZ_CHECK(u128{section.load_address} + section.size <= space);
    u128 counted = 0;
    for (const gnu_ld_input_section& input : section.inputs) {
      FUZZ_CHECK(u128{input.address} + input.size <= space);
      if (input.kind == gnu_ld_input_kind::fill) {
        FUZZ_CHECK(input.symbols.empty());
      }
      for (const gnu_ld_symbol& symbol : input.symbols) {
        FUZZ_CHECK(symbol.address >= input.address);
        FUZZ_CHECK(u128{symbol.address} + symbol.size <= u128{input.address} + input.size);
      }
      counted += input.size;
    }
    const bool listed = mismatch < map.size_mismatches.size() &&
                        map.size_mismatches[mismatch].index == index &&
                        map.size_mismatches[mismatch].section == section.name &&
                        map.size_mismatches[mismatch].size == section.size;
    if (counted == section.size) {
      FUZZ_CHECK(!listed);
    } else {
      FUZZ_CHECK(listed);
      const u128 saturated = std::min<u128>(counted, std::numeric_limits<std::uint64_t>::max());
      FUZZ_CHECK(map.size_mismatches[mismatch].counted == saturated);
      ++mismatch;
    }
  }
  FUZZ_CHECK(mismatch == map.size_mismatches.size());
  for (const gnu_ld_archive_member& member : map.archive_members) {
    FUZZ_CHECK(!member.member.member.empty());
  }
  for (const gnu_ld_memory_region& region : map.memory_regions) {
    FUZZ_CHECK(region.name != "*default*" && !region.name.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const gnu_ld_map_result result = read_gnu_ld_map(text);
  if (!result.ok) {
    FUZZ_CHECK(!result.error.empty());
    std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    if (!text.empty() && text.back() != '\n') {
      ++lines;
    }
    FUZZ_CHECK(result.line >= 1 && result.line <= lines + 1);
    FUZZ_CHECK(result.map.output_sections.empty() && result.map.archive_members.empty() &&
               result.map.memory_regions.empty() && result.map.discarded.empty());
    return 0;
  }
  FUZZ_CHECK(result.error.empty());
  check_accepted(result.map);
  return 0;
}
