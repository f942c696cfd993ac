// Breaks the program bytes down by the SEARCH entries. A section name counts
// for the first entry that claims it; every further claim of the same name,
// by another entry or by the same entry for a second section of that name, is
// set aside as an ambiguous match and listed in the result file "Vemora.amb"
// next to the map file.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "mapfile/section_record.h"
#include "memdef/search_entry.h"

struct search_hit {
  std::string object_name;
  std::string search_text;
  std::string earlier_search_text;  ///< empty in claimed_list
};

class search_accounting {
 public:
  explicit search_accounting(search_list& searches) : m_searches(searches) {}

  /// Offers one program record to every entry, in list order.
  void account(const section_record& record);

  /// "Program breakdown:" and its lines, then, when there were ambiguous
  /// matches, the result file and the warning. program_bytes is the sum of
  /// the program section list.
  void print_breakdown(std::ostream& out, std::uint32_t program_bytes,
                       const std::string& map_file_path) const;

  /// Writes the ambiguous matches to path; false when the file cannot be written.
  bool write_result_file(const std::string& path) const;

  /// The map file's directory (up to its last '\' or '/') plus "Vemora.amb".
  static std::string result_file_path(const std::string& map_file_path);

  const std::vector<search_hit>& claimed_list() const { return m_claimed_list; }
  const std::vector<search_hit>& ambiguous_list() const { return m_ambiguous_list; }
  std::uint32_t ambiguous_bytes() const { return m_ambiguous_bytes; }

 private:
  search_list& m_searches;
  std::vector<search_hit> m_claimed_list;
  /// name -> position in m_claimed_list: keeps the lookup from walking the list.
  std::unordered_map<std::string, std::size_t> m_claimed_index;
  std::vector<search_hit> m_ambiguous_list;
  std::uint32_t m_ambiguous_bytes = 0;
};
