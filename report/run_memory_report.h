// The map analysis: loads the memory definition, lets the reader chosen by
// the type keyword sort the map file's sections into the program and memory
// section lists, sums them, and prints the memory report. Totals are computed
// into memory_totals first, so they can be checked without the text.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "mapfile/c_map_file.h"
#include "mapfile/section_list.h"
#include "memdef/c_memory_def.h"

struct memory_totals {
  std::uint32_t memory_bytes = 0;  ///< memory records counted in bytes
  std::uint32_t bit_count = 0;     ///< memory records counted in bits
  double memory_floating_sum = 0;  ///< bits as eighths of a byte
  std::uint32_t program_bytes = 0;
  double program_floating_sum = 0;
  std::vector<std::uint32_t> seg_used;  ///< per program range
  std::uint32_t memory_total = 0;
  std::uint32_t program_total = 0;
  std::size_t memory_records = 0;
  std::size_t program_records = 0;

  double memory_used() const { return bit_count * 0.125 + memory_bytes; }
  /// Bits rounded to whole bytes, half a byte rounding up.
  std::uint32_t memory_used_rounded() const { return ((bit_count + 4) >> 3) + memory_bytes; }
};

/// The reader for a type keyword ("Orm6", "Tev2", "Tev2_mem32_unlimited",
/// "Orm8", "Pux4"), or nullptr for any other text.
std::unique_ptr<c_map_file> make_map_reader(const std::string& type_keyword,
                                            const std::string& map_file_path);

/// Sums both lists (search accounting aside).
memory_totals compute_totals(const c_memory_def& definition, const section_list& program_sections,
                             const section_list& memory_sections);

/// Prints the memory report; true when it was printed or the map held no
/// section in any range, false after a failure message. other_inputs: further
/// input files of the run (the EEPROM source) that the result file must never
/// replace; the map and definition files are always protected.
bool run_memory_report(std::string map_file_path, std::string definition_path,
                       std::string type_keyword, std::ostream& out,
                       const std::vector<std::string>& other_inputs = {});
