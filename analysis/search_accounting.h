// Breaks the program bytes down by the SEARCH entries. A section name counts
// for the first entry that claims it; every further claim of the same name,
// by another entry or by the same entry for a second section of that name, is
// set aside as an ambiguous match, which the result file "Vemora.amb" lists.
// Which entries match a name is worked out once per distinct name, and a
// match is kept as indices rather than texts: listings with hundreds of
// thousands of sections repeat their names a lot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "mapfile/section_record.h"
#include "memdef/search_entry.h"

struct search_hit {
  std::string object_name;
  std::string search_text;
  std::string earlier_search_text;  ///< empty in claimed_list
};

/// One further claim of a name that an entry had claimed already.
struct ambiguous_match_record {
  section_name name;
  std::uint32_t section = 0;     ///< the record's place among the accounted ones
  std::uint32_t entry = 0;       ///< the entry that matched again
  std::uint32_t claimed_by = 0;  ///< the entry that claimed the name first
  std::uint32_t size = 0;
};

/// The breakdown as data, entries in the order of the SEARCH lines.
struct search_breakdown {
  struct entry {
    std::string text;  ///< the display text the report prints
    std::vector<std::string> all_terms;
    std::vector<std::string> any_terms;
    std::vector<std::string> none_terms;
    bool valid = false;
    std::uint32_t total = 0;  ///< as the report prints it, wrapping modulo 2^32
    std::uint64_t bytes = 0;  ///< the same sum, exactly
    /// With an image's symbols: the bytes of the entry's sections that symbols hold.
    std::uint64_t attributed_bytes = 0;
    std::uint64_t unattributed_bytes() const { return bytes - attributed_bytes; }
    /// The records the entry counted, by their place among the accounted ones.
    std::vector<std::uint32_t> sections;
  };
  std::vector<entry> entries;
  std::vector<ambiguous_match_record> ambiguous;
  std::uint32_t ambiguous_bytes = 0;  ///< wrapping modulo 2^32
  std::uint64_t ambiguous_bytes_exact = 0;
  std::uint32_t accounted = 0;  ///< sum of the entries' totals, wrapping
  std::uint64_t accounted_exact = 0;
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

  /// Offers one program record to every entry, in list order.
  void account(const section_record& record);

  /// The breakdown as it stands.
  search_breakdown breakdown() const&;
  /// The same, taking the ambiguous matches over instead of copying them.
  search_breakdown breakdown() &&;

  /// The map file's directory (up to its last '\' or '/') plus "Vemora.amb".
  static std::string result_file_path(const std::string& map_file_path);

  /// One hit per claimed name, in the order of the claims.
  std::vector<search_hit> claimed_list() const;
  /// One hit per ambiguous match, in the order they arose.
  std::vector<search_hit> ambiguous_list() const;
  std::uint32_t ambiguous_bytes() const { return static_cast<std::uint32_t>(m_ambiguous_bytes); }

 private:
  static constexpr std::uint32_t k_unclaimed = 0xFFFFFFFF;

  struct name_state {
    section_name name;
    std::vector<std::uint32_t> matching_entries;  ///< indices into m_searches, in list order
    std::uint32_t claimed_by = k_unclaimed;       ///< entry that claimed the name
  };

  std::uint32_t state_of(section_name name);
  /// The breakdown without its ambiguous matches.
  search_breakdown entries_breakdown() const;

  search_list& m_searches;
  std::deque<name_state> m_states;  ///< one per distinct name, in the order first seen
  /// By name number: the name's index into m_states plus one, 0 when unseen.
  std::vector<std::uint32_t> m_state_by_name;
  std::vector<std::uint32_t> m_claims;  ///< claimed names (into m_states) in claim order
  std::vector<ambiguous_match_record> m_ambiguous;
  std::uint64_t m_ambiguous_bytes = 0;
  std::uint32_t m_accounted = 0;  ///< records offered so far
  /// Per entry: its exact sum and the records it counted.
  std::vector<std::uint64_t> m_entry_bytes;
  std::vector<std::vector<std::uint32_t>> m_entry_sections;
};
