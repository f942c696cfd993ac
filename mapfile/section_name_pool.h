// The distinct section names of one analysis: every text once, with a small
// number dense from 1. The pool belongs to whoever runs the analysis and must
// outlive every record that holds one of its names; nothing is shared between
// two pools, so two analyses on two threads never meet. Names may be made on
// several threads at once; the kept texts never move or change.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string_view>
#include <vector>

#include "mapfile/section_name.h"

class section_name_pool {
 public:
  section_name_pool();
  ~section_name_pool();
  section_name_pool(const section_name_pool&) = delete;
  section_name_pool& operator=(const section_name_pool&) = delete;

  /// How many distinct texts the pool holds, the empty one included.
  std::size_t distinct_count() const;

 private:
  friend class section_name;

  /// The kept text of a text that is not empty, made when it is new.
  const section_name::kept_text* intern(std::string_view text);
  const section_name::kept_text* intern_locked(std::string_view text);
  const section_name::kept_text* add(std::string_view text, std::size_t hash);
  void grow();

  static constexpr std::size_t k_first_slots = 256;  // a power of two, as every size after it
  static constexpr std::size_t k_recent_slots = 256;
  std::deque<section_name::kept_text> m_texts;          ///< a deque never moves what it holds
  std::vector<const section_name::kept_text*> m_by_id;  ///< by id - 1
  std::vector<std::size_t> m_hashes;                    ///< by id - 1
  std::vector<std::uint32_t> m_slots;                   ///< ids; 0 marks a free slot
  std::array<const section_name::kept_text*, k_recent_slots> m_recent{};
  mutable std::mutex m_mutex;  ///< the readers of a large listing make names on several threads
};
