#include "mapfile/section_name.h"

#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace {
/// The characters of a name in one word: all of them for a name of up to
/// eight, which the word and the length then tell apart from every other
/// name; the first and the last four for a longer one.
std::uint64_t name_key(std::string_view text) {
  if (text.size() >= 4) {
    std::uint32_t head = 0;
    std::uint32_t tail = 0;
    std::memcpy(&head, text.data(), 4);
    std::memcpy(&tail, text.data() + text.size() - 4, 4);
    return std::uint64_t{head} << 32 | tail;
  }
  std::uint64_t key = 0;
  for (const char c : text) {
    key = key << 8 | static_cast<unsigned char>(c);
  }
  return key;
}

/// Cheap to compute and spread enough for the few dozen names a listing
/// repeats.
std::uint32_t quick_hash(std::uint64_t key, std::size_t size) {
  return static_cast<std::uint32_t>(((key ^ size) * 0x9E3779B97F4A7C15ull) >> 32);
}

std::uint32_t quick_hash(std::string_view text) { return quick_hash(name_key(text), text.size()); }

/// The distinct texts and an open-addressing index over them. A listing can
/// hold a hundred thousand different names (one per row of a segment map), so
/// a new name costs no allocation beyond its text.
class name_pool {
 public:
  name_pool() {
    add("", 0);  // id 0, the empty name; the index never holds it
    m_slots.assign(k_first_slots, 0);
  }

  const std::string& text(std::uint32_t id) const { return *m_by_id[id]; }
  std::size_t size() const { return m_by_id.size(); }

  /// The name's number; kept receives its kept text.
  std::uint32_t intern(std::string_view text, const std::string*& kept) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const std::uint32_t id = intern_locked(text);
    kept = m_by_id[id];
    return id;
  }

 private:
  std::uint32_t intern_locked(std::string_view text) {
    // Listings repeat their names, mostly from a small set: a small cache
    // spares most lookups the hashing.
    std::uint32_t& cached = m_recent[recent_slot(text)];
    if (cached != 0 && *m_by_id[cached] == text) {
      return cached;
    }
    const std::size_t hash = std::hash<std::string_view>()(text);
    std::size_t slot = hash & (m_slots.size() - 1);
    while (m_slots[slot] != 0) {
      const std::uint32_t id = m_slots[slot];
      if (m_hashes[id] == hash && *m_by_id[id] == text) {
        cached = id;
        return id;
      }
      slot = (slot + 1) & (m_slots.size() - 1);
    }
    const std::uint32_t id = add(text, hash);
    m_slots[slot] = id;
    if (2 * m_by_id.size() > m_slots.size()) {
      grow();
    }
    cached = id;
    return id;
  }

  std::uint32_t add(std::string_view text, std::size_t hash) {
    const auto id = static_cast<std::uint32_t>(m_by_id.size());
    m_by_id.push_back(&m_texts.emplace_back(text));
    m_hashes.push_back(hash);
    return id;
  }

  void grow() {
    std::vector<std::uint32_t> slots(2 * m_slots.size(), 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t id = 1; id < m_by_id.size(); ++id) {
      std::size_t slot = m_hashes[id] & mask;
      while (slots[slot] != 0) {
        slot = (slot + 1) & mask;
      }
      slots[slot] = id;
    }
    m_slots.swap(slots);
  }

  static std::size_t recent_slot(std::string_view text) {
    return quick_hash(text) % k_recent_slots;
  }

  static constexpr std::size_t k_first_slots = 256;  // a power of two, as every size after it
  static constexpr std::size_t k_recent_slots = 256;
  std::deque<std::string> m_texts;  ///< a deque never moves what it holds
  std::vector<const std::string*> m_by_id;
  std::vector<std::size_t> m_hashes;   ///< by id
  std::vector<std::uint32_t> m_slots;  ///< ids; 0 marks a free slot
  std::array<std::uint32_t, k_recent_slots> m_recent{};
  std::mutex m_mutex;  ///< the readers of a large listing make names on several threads
};

name_pool& pool() {
  // Kept to the very end, like the texts it hands out: nothing is torn down
  // at exit.
  static name_pool* const names = new name_pool;
  return *names;
}
}  // namespace

std::uint32_t section_name::intern(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  const std::string* kept = nullptr;
  return pool().intern(text, kept);
}

std::uint32_t section_name::intern(std::string_view text, recent_list& recent) {
  if (text.empty()) {
    return 0;
  }
  // The kept texts never move, so a text in the list can be compared without
  // the pool's lock.
  const std::uint64_t key = name_key(text);
  const auto size = static_cast<std::uint32_t>(text.size());
  const std::uint32_t hash = quick_hash(key, text.size());
  constexpr std::size_t mask = recent_list::k_slots - 1;
  std::size_t slot = hash & mask;
  for (; recent.m_entries[slot].text != nullptr; slot = (slot + 1) & mask) {
    const recent_list::entry& entry = recent.m_entries[slot];
    // Up to eight characters, the key holds the whole name.
    if (entry.key == key && entry.size == size && (size <= 8 || *entry.text == text)) {
      return entry.id;
    }
  }
  const std::string* kept = nullptr;
  const std::uint32_t id = pool().intern(text, kept);
  if (2 * ++recent.m_taken > recent_list::k_slots) {
    // A listing of ever new names: begin again rather than search long.
    for (recent_list::entry& entry : recent.m_entries) {
      entry = {};
    }
    recent.m_taken = 1;
    slot = hash & mask;
  }
  recent.m_entries[slot] = {kept, id, size, key};
  return id;
}

const std::string& section_name::text_of(std::uint32_t id) { return pool().text(id); }

std::size_t section_name::distinct_count() { return pool().size(); }
