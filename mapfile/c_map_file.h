// Base of every map reader (and of the EEPROM source reader): the file name,
// the input stream opened at construction, and the helpers all readers share,
// fetching the next non-empty line and placing records into the two sorted
// section lists. Its own read() reads nothing. The names of the records go
// into a name pool shared with whoever keeps the records after the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mapfile/section_fate.h"
#include "mapfile/section_list.h"
#include "mapfile/section_name_pool.h"
#include "mapfile/section_record.h"
#include "memdef/c_memory_def.h"
#include "text/line_reader.h"

/// Where a record read from a listing came from: its map line and what the
/// listing said of it, kept beside records that are placed after reading.
struct record_origin {
  std::uint64_t map_line = 0;
  section_detail detail;
};

class c_map_file {
 public:
  static constexpr std::size_t k_elxr_line_length = 2047;
  static constexpr std::size_t k_short_line_length = 511;

  /// Opens the file (or text); a missing or unreadable file only leaves
  /// is_open false.
  explicit c_map_file(input_source input, std::size_t max_line_length = k_elxr_line_length);
  virtual ~c_map_file();
  c_map_file(const c_map_file&) = delete;
  c_map_file& operator=(const c_map_file&) = delete;

  /// Reads the map file into the two lists, both supplied empty. True when
  /// either list holds a record afterwards.
  virtual bool read(const c_memory_def& definition, section_list& program_sections,
                    section_list& memory_sections);

  /// Hook over the collected, not yet placed records (file order).
  virtual bool post_process(std::vector<section_record>& records);
  /// Whether post_process() does anything; a reader that overrides it says so.
  virtual bool post_processes() const { return false; }

  /// Has read() account for every section it recognises (its fate and what
  /// the listing said of it), in the order of the map's lines, and for the
  /// lines it cut; nullptr (the default) for none. The account must outlive
  /// the reading.
  void set_account(reading_account* account) { m_account = account; }
  reading_account* account() const { return m_account; }

  /// (Re)opens the stream on a file or text; true when it now has one open.
  bool open(const input_source& input);

  /// The next non-empty line; false at the end of the file, which then is
  /// closed. The view stays valid until the next call.
  bool read_line(std::string_view& line);

  /// The next non-empty line of any reader; false when none is left.
  static bool next_filled_line(line_reader& reader, std::string_view& line);

  /// Inserts a copy of the record in ascending start order; among equal
  /// starts the newest stands first.
  static bool insert_sorted(section_list& list, const section_record& record);

  /// Puts the record into the program list when a program range holds it,
  /// else into the memory list when a memory range holds it, else nowhere.
  /// Returns counted_program, counted_memory, or outside_ranges for nowhere.
  static section_fate place(const c_memory_def& definition, section_record& record,
                            section_list& program_sections, section_list& memory_sections);

  /// place() for every record, in order. The records are used up: those for
  /// the program list are gathered in place and handed over whole. With a
  /// log, every record's fate goes into it; origins then holds where each
  /// record read from the listing came from, in order (those behind it have
  /// none).
  static void place_all(const c_memory_def& definition, std::vector<section_record>& records,
                        section_list& program_sections, section_list& memory_sections,
                        section_fate_log* log = nullptr,
                        const std::vector<record_origin>* origins = nullptr);

  /// The pool of the names of the records this reader makes: one of its
  /// own unless use_name_pool() gave it another. The names stay valid while
  /// the pool lives, so whoever keeps the records after the reader keeps the
  /// pool as well.
  const std::shared_ptr<section_name_pool>& name_pool() const { return m_names; }
  /// Puts the names of the next read into pool (ignored when null): callers
  /// that compare the records of several readers give them one pool.
  void use_name_pool(std::shared_ptr<section_name_pool> pool);

  /// What the reader reads; a text in memory must outlive the reader.
  const input_source source;
  const std::string file_name;  ///< source.path
  line_reader stream;
  const bool is_open;

 protected:
  section_name_pool& names() const { return *m_names; }

 private:
  std::shared_ptr<section_name_pool> m_names;
  reading_account* m_account = nullptr;
};
