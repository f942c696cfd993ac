// Reader of elxr section listings: a table of one line per output section
// (index, name, size, address, further columns), each followed by a line of
// attribute words. Only sections with known names are taken; the variants
// change the names, the line pattern, the address mask or post-processing,
// never the reading algorithm, which lives here once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mapfile/c_map_file.h"
#include "mapfile/elxr_line_matcher.h"

class c_map_file_elxr : public c_map_file {
 public:
  explicit c_map_file_elxr(std::string name) : c_map_file(std::move(name)) {}

  bool read(const c_memory_def& definition, section_list& program_sections,
            section_list& memory_sections) override;

  /// The compiled section-line pattern, built once per name list and kept
  /// for the rest of the run.
  virtual const elxr_line_matcher& section_pattern() const;
  virtual const std::vector<std::string>& section_names() const;
  virtual std::uint32_t address_mask() const { return 0x03FFFFFF; }

  /// A listing of at least two stretches of this many bytes is read in
  /// stretches, by at most max_threads threads at once. The records and
  /// their order are the same as when it is read in one go.
  static std::uint64_t stretch_bytes;
  static unsigned max_threads;

  /// Where the stretches of the open file begin, and its size last: [0, size]
  /// when it is read in one go. A stretch begins behind a line that is not a
  /// section line, where no section line waits for its attribute line.
  std::vector<std::uint64_t> stretch_bounds() const;

 private:
  /// The section records of the lines the reader has left, in file order.
  /// With a definition to place them by, records gets those for the program
  /// list and memory_records those for the memory list.
  /// With a log, every recognised section's fate goes into it, and without
  /// a definition to place by, record_lines gets each record's map line.
  void read_sections(line_reader& reader, const elxr_line_matcher& pattern,
                     section_name::recent_list& recent, std::vector<section_record>& records,
                     const c_memory_def* placing, std::vector<section_record>* memory_records,
                     section_fate_log* log, std::vector<std::uint64_t>* record_lines) const;
  /// The records of each stretch, in file order; false when a stretch could
  /// not be opened. With a definition to place them by, parts keeps the
  /// records for the program list and memory_parts gets those for the memory
  /// list.
  bool read_stretches(const std::vector<std::uint64_t>& bounds, const c_memory_def* placing,
                      std::vector<std::vector<section_record>>& parts,
                      std::vector<std::vector<section_record>>& memory_parts, section_fate_log* log,
                      std::vector<std::uint64_t>* record_lines) const;
  /// The first place at or after offset, and before limit, where a stretch
  /// can begin; 0 when there is none.
  std::uint64_t stretch_start(std::uint64_t offset, std::uint64_t limit) const;
};
