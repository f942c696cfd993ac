// Reader of elxr section listings: a table of one line per output section
// (index, name, size, address, further columns), each followed by a line of
// attribute words. Only sections with known names are taken; the variants
// change the names, the line pattern, the address mask or post-processing,
// never the reading algorithm, which lives here once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mapfile/c_map_file.h"
#include "mapfile/elxr_line_matcher.h"

class c_map_file_elxr : public c_map_file {
 public:
  /// A listing of at least two stretches of stretch_bytes is read in
  /// stretches, by at most max_threads threads at once. The records and
  /// their order are the same as when it is read in one go.
  struct stretch_settings {
    std::uint64_t stretch_bytes = std::uint64_t{4} << 20;
    unsigned max_threads = default_max_threads();
  };

  explicit c_map_file_elxr(input_source input) : c_map_file(std::move(input)) {}

  bool read(const c_memory_def& definition, section_list& program_sections,
            section_list& memory_sections) override;

  /// The name rule every elxr reader applies to a name as its pattern
  /// captured it: debug_name for a name holding "debug", excluded_name for
  /// heap, linfix, gstackfix and note.renesas, counted_program for a name no
  /// rule drops.
  static section_fate name_rule(std::string_view name);

  /// The compiled section-line pattern: one per reader class, built on first
  /// use and never changed. A reader with a name list of its own overrides
  /// this as well.
  virtual const elxr_line_matcher& section_pattern() const;
  virtual const std::vector<std::string>& section_names() const;
  virtual std::uint32_t address_mask() const { return 0x03FFFFFF; }

  /// How this reader cuts a listing into stretches; set before read().
  const stretch_settings& stretching() const { return m_stretching; }
  void set_stretching(const stretch_settings& settings) { m_stretching = settings; }
  /// Up to eight, and no more than the machine's cores.
  static unsigned default_max_threads();

  /// Where the stretches of the open file begin, and its size last: [0, size]
  /// when it is read in one go. A stretch begins behind a line that is not a
  /// section line, where no section line waits for its attribute line.
  std::vector<std::uint64_t> stretch_bounds() const;

 private:
  /// The section records of the lines the reader has left, in file order.
  /// With a definition to place them by, records gets those for the program
  /// list and memory_records those for the memory list.
  /// With a log, every recognised section's fate goes into it, and without
  /// a definition to place by, record_lines gets each record's map line and
  /// what the listing said of it.
  void read_sections(line_reader& reader, const elxr_line_matcher& pattern,
                     section_name::recent_list& recent, std::vector<section_record>& records,
                     const c_memory_def* placing, std::vector<section_record>* memory_records,
                     section_fate_log* log, std::vector<record_origin>* record_lines) const;
  /// The records of each stretch, in file order; false when a stretch could
  /// not be opened. With a definition to place them by, parts keeps the
  /// records for the program list and memory_parts gets those for the memory
  /// list.
  bool read_stretches(const std::vector<std::uint64_t>& bounds, const c_memory_def* placing,
                      std::vector<std::vector<section_record>>& parts,
                      std::vector<std::vector<section_record>>& memory_parts, section_fate_log* log,
                      std::vector<record_origin>* record_lines) const;
  /// The first place at or after offset, and before limit, where a stretch
  /// can begin; 0 when there is none.
  std::uint64_t stretch_start(std::uint64_t offset, std::uint64_t limit) const;

  stretch_settings m_stretching;
};
