#include "mapfile/section_name_pool.h"

#include <functional>

#include "mapfile/name_key.h"

section_name_pool::section_name_pool() : m_slots(k_first_slots, 0) {}

section_name_pool::~section_name_pool() = default;

std::size_t section_name_pool::distinct_count() const {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return m_texts.size() + 1;
}

const section_name::kept_text* section_name_pool::intern(std::string_view text) {
  const std::lock_guard<std::mutex> lock(m_mutex);
  return intern_locked(text);
}

const section_name::kept_text* section_name_pool::intern_locked(std::string_view text) {
  // Listings repeat their names, mostly from a small set: a small cache
  // spares most lookups the hashing.
  const section_name::kept_text*& cached = m_recent[quick_hash(text) % k_recent_slots];
  if (cached != nullptr && cached->text == text) {
    return cached;
  }
  const std::size_t hash = std::hash<std::string_view>()(text);
  std::size_t slot = hash & (m_slots.size() - 1);
  while (m_slots[slot] != 0) {
    const std::uint32_t id = m_slots[slot];
    if (m_hashes[id - 1] == hash && m_by_id[id - 1]->text == text) {
      cached = m_by_id[id - 1];
      return cached;
    }
    slot = (slot + 1) & (m_slots.size() - 1);
  }
  const section_name::kept_text* kept = add(text, hash);
  m_slots[slot] = kept->id;
  if (2 * m_by_id.size() > m_slots.size()) {
    grow();
  }
  cached = kept;
  return kept;
}

const section_name::kept_text* section_name_pool::add(std::string_view text, std::size_t hash) {
  const auto id = static_cast<std::uint32_t>(m_texts.size() + 1);  // 0 is the empty name's
  m_texts.push_back({std::string(text), id});
  const section_name::kept_text* kept = &m_texts.back();
  m_by_id.push_back(kept);
  m_hashes.push_back(hash);
  return kept;
}

void section_name_pool::grow() {
  std::vector<std::uint32_t> slots(2 * m_slots.size(), 0);
  const std::size_t mask = slots.size() - 1;
  for (std::size_t i = 0; i < m_by_id.size(); ++i) {
    std::size_t slot = m_hashes[i] & mask;
    while (slots[slot] != 0) {
      slot = (slot + 1) & mask;
    }
    slots[slot] = m_by_id[i]->id;
  }
  m_slots.swap(slots);
}
