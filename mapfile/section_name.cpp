#include "mapfile/section_name.h"

#include "mapfile/name_key.h"
#include "mapfile/section_name_pool.h"

section_name::section_name(std::string_view text, section_name_pool& pool)
    : m_kept(text.empty() ? nullptr : pool.intern(text)) {}

section_name::section_name(std::string_view text, recent_list& recent) {
  if (text.empty()) {
    return;
  }
  // The kept texts never move or change, so a text in the list can be
  // compared without the pool's lock.
  const std::uint64_t key = name_key(text);
  const auto size = static_cast<std::uint32_t>(text.size());
  const std::uint32_t hash = quick_hash(key, text.size());
  constexpr std::size_t mask = recent_list::k_slots - 1;
  std::size_t slot = hash & mask;
  for (; recent.m_entries[slot].kept != nullptr; slot = (slot + 1) & mask) {
    const recent_list::entry& entry = recent.m_entries[slot];
    // Up to eight characters, the key holds the whole name.
    if (entry.key == key && entry.size == size && (size <= 8 || entry.kept->text == text)) {
      m_kept = entry.kept;
      return;
    }
  }
  m_kept = recent.m_pool->intern(text);
  if (2 * ++recent.m_taken > recent_list::k_slots) {
    // A listing of ever new names: begin again rather than search long.
    for (recent_list::entry& entry : recent.m_entries) {
      entry = {};
    }
    recent.m_taken = 1;
    slot = hash & mask;
  }
  recent.m_entries[slot] = {m_kept, size, key};
}

const std::string& section_name::empty_text() {
  // Made once, thread-safely, and never changed.
  static const std::string empty;
  return empty;
}
