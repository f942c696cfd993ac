// Breaks the program bytes down by the SEARCH entries. A section name counts
// for the first entry that claims it; every further claim of the same name,
// by another entry or by the same entry for a second section of that name, is
// set aside as an ambiguous match and listed in the result file "Vemora.amb"
// next to the map file. Which entries match a name is worked out once per
// distinct name, and a match is kept as two indices rather than three texts:
// listings with hundreds of thousands of sections repeat their names a lot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "mapfile/section_record.h"
#include "memdef/search_entry.h"
#include "report/result_file_writer.h"

struct search_hit {
  std::string object_name;
  std::string search_text;
  std::string earlier_search_text;  ///< empty in claimed_list
};

class search_accounting {
 public:
  explicit search_accounting(search_list& searches);
  ~search_accounting();
  search_accounting(const search_accounting&) = delete;
  search_accounting& operator=(const search_accounting&) = delete;

  /// Sets room aside for the matches of that many records (two each), so
  /// the list of ambiguous matches is not copied while it grows. Costs
  /// address space only.
  void expect_records(std::size_t count);

  /// Has account() write the result file for this map file as the
  /// ambiguous matches arise, on a thread of its own; print_breakdown() with
  /// the same map file and inputs then only finishes it. The file is the
  /// same as the one print_breakdown() writes otherwise.
  void write_result_file_early(const std::string& map_file_path,
                               const std::vector<std::string>& inputs = {});

  /// Offers one program record to every entry, in list order.
  void account(const section_record& record);

  /// "Program breakdown:" and its lines, then, when there were ambiguous
  /// matches, the result file and the warning. program_bytes is the sum of
  /// the program section list.
  /// inputs: files that must never be overwritten by the result file (the
  /// map file is always one of them).
  void print_breakdown(std::ostream& out, std::uint32_t program_bytes,
                       const std::string& map_file_path,
                       const std::vector<std::string>& inputs = {}) const;

  /// Writes the ambiguous matches to path; false when the file cannot be
  /// written, or when path names one of the inputs (an input file is never
  /// overwritten, whatever its name).
  bool write_result_file(const std::string& path,
                         const std::vector<std::string>& inputs = {}) const;

  /// The map file's directory (up to its last '\' or '/') plus "Vemora.amb".
  static std::string result_file_path(const std::string& map_file_path);

  /// One hit per claimed name, in the order of the claims.
  std::vector<search_hit> claimed_list() const;
  /// One hit per ambiguous match, in the order they arose.
  std::vector<search_hit> ambiguous_list() const;
  std::uint32_t ambiguous_bytes() const { return m_ambiguous_bytes; }

 private:
  static constexpr std::uint32_t k_unclaimed = 0xFFFFFFFF;

  struct name_state {
    section_name name;
    std::vector<std::uint32_t> matching_entries;  ///< indices into m_searches, in list order
    std::uint32_t claimed_by = k_unclaimed;       ///< entry that claimed the name
    /// Result file lines, one per matching entry, made when the name first
    /// matches again: what a line says depends only on the name and the two
    /// entries.
    std::vector<std::string> lines;
  };
  struct ambiguous_match {
    std::uint32_t state;  ///< index into m_states
    std::uint32_t match;  ///< position in the state's matching_entries
  };

  std::uint32_t state_of(section_name name);
  /// Appends a line to the block for the early writer, handing the block
  /// over when it is full.
  void add_early_line(const std::string& line);
  void hand_over_early_block() const;
  void make_lines(name_state& state) const;

  /// The inputs print_breakdown() protects: the given ones and the map file.
  static std::vector<std::string> protected_files(const std::string& map_file_path,
                                                  const std::vector<std::string>& inputs);

  search_list& m_searches;
  std::deque<name_state> m_states;  ///< one per distinct name, in the order first seen
  /// By name number: the name's index into m_states plus one, 0 when unseen.
  std::vector<std::uint32_t> m_state_by_name;
  std::vector<std::uint32_t> m_claims;  ///< claimed names (into m_states) in claim order
  std::vector<ambiguous_match> m_ambiguous;
  std::uint32_t m_ambiguous_bytes = 0;
  /// Set by write_result_file_early(): the writer and the lines not yet
  /// handed to it. Finishing the file is output, not a change of the counts,
  /// so print_breakdown() stays const.
  mutable std::unique_ptr<result_file_writer> m_early_writer;
  mutable std::string m_early_block;
  mutable std::size_t m_early_used = 0;  ///< characters of m_early_block that hold lines
};
