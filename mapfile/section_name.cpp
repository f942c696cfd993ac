#include "mapfile/section_name.h"

#include "mapfile/section_name_pool.h"

section_name::section_name(std::string_view text, section_name_pool& pool)
    : m_kept(text.empty() ? nullptr : pool.intern(text)) {}

const section_name::kept_text* section_name::recent_list::add(std::string_view text,
                                                              std::uint64_t key, std::size_t slot) {
  // The kept texts never move or change, so the list's texts are compared
  // without the pool's lock.
  const kept_text* kept = m_pool->intern(text);
  if (2 * ++m_taken > k_slots) {
    // A listing of ever new names: begin again rather than search long.
    for (entry& listed : m_entries) {
      listed = {};
    }
    m_taken = 1;
    slot = quick_hash(key, text.size()) & (k_slots - 1);
  }
  m_entries[slot] = {kept, static_cast<std::uint32_t>(text.size()), key};
  return kept;
}

const std::string& section_name::empty_text() {
  // Made once, thread-safely, and never changed.
  static const std::string empty;
  return empty;
}
