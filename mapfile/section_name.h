// The name of a section record. A listing with hundreds of thousands of
// sections repeats a few dozen names, so every distinct text is kept once in
// the name pool of the analysis (section_name_pool) and a name points at its
// kept text: records stay small and trivially copyable, two names of one pool
// are equal exactly when they point at the same text, and the text is reached
// without anything process-wide. A name is valid as long as its pool lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "mapfile/name_key.h"

class section_name_pool;

class section_name {
 public:
  /// A distinct text of a pool and its number there. Made only by the pool,
  /// never changed or moved afterwards.
  struct kept_text {
    std::string text;
    std::uint32_t id = 0;
  };

  /// The names one thread met last, for names of one pool. Names may be
  /// made on several threads at once, each with a list of its own: a name
  /// found in the list is made without waiting for the other threads.
  class recent_list {
   public:
    explicit recent_list(section_name_pool& pool) : m_pool(&pool) {}

   private:
    friend class section_name;
    /// The listed name of the text, or nullptr when the list lacks it; the
    /// slot where a lookup ends. Inline: it runs for every section line.
    const kept_text* find(std::string_view text, std::uint64_t key, std::size_t& slot) const {
      const auto size = static_cast<std::uint32_t>(text.size());
      for (slot = quick_hash(key, text.size()) & (k_slots - 1); m_entries[slot].kept != nullptr;
           slot = (slot + 1) & (k_slots - 1)) {
        const entry& listed = m_entries[slot];
        // Up to eight characters, the key holds the whole name.
        if (listed.key == key && listed.size == size && (size <= 8 || listed.kept->text == text)) {
          return listed.kept;
        }
      }
      return nullptr;
    }
    /// Makes the name in the pool and lists it at slot, where find() ended.
    const kept_text* add(std::string_view text, std::uint64_t key, std::size_t slot);

    struct entry {
      const kept_text* kept = nullptr;  ///< nullptr marks a free slot
      std::uint32_t size = 0;
      std::uint64_t key = 0;  ///< characters of the text in one word
    };
    /// A power of two; the list starts afresh when half of it is taken.
    static constexpr std::size_t k_slots = 256;
    section_name_pool* m_pool;
    entry m_entries[k_slots];
    std::size_t m_taken = 0;
  };

  /// The empty name, which belongs to every pool.
  section_name() = default;
  /// The name of that text in the pool; made there when it is new.
  section_name(std::string_view text, section_name_pool& pool);
  /// The same name, looked for in the thread's recent list first.
  section_name(std::string_view text, recent_list& recent) {
    if (text.empty()) {
      return;
    }
    const std::uint64_t key = name_key(text);
    std::size_t slot = 0;
    m_kept = recent.find(text, key, slot);
    if (m_kept == nullptr) {
      m_kept = recent.add(text, key, slot);
    }
  }

  const std::string& str() const { return m_kept != nullptr ? m_kept->text : empty_text(); }
  operator const std::string&() const { return str(); }  // NOLINT: reads like a string
  operator std::string_view() const { return str(); }    // NOLINT

  bool empty() const { return m_kept == nullptr; }
  std::size_t size() const { return str().size(); }

  /// Equal texts of one pool share one kept text, so identity is equality.
  friend bool operator==(section_name a, section_name b) { return a.m_kept == b.m_kept; }
  friend bool operator!=(section_name a, section_name b) { return a.m_kept != b.m_kept; }
  friend bool operator==(section_name a, std::string_view b) { return a.str() == b; }
  friend bool operator!=(section_name a, std::string_view b) { return a.str() != b; }
  friend bool operator==(std::string_view a, section_name b) { return a == b.str(); }
  friend bool operator!=(std::string_view a, section_name b) { return a != b.str(); }
  friend bool operator==(section_name a, const char* b) { return a.str() == b; }
  friend bool operator!=(section_name a, const char* b) { return a.str() != b; }
  friend bool operator==(const char* a, section_name b) { return a == b.str(); }
  friend bool operator!=(const char* a, section_name b) { return a != b.str(); }
  friend bool operator==(section_name a, const std::string& b) { return a.str() == b; }
  friend bool operator!=(section_name a, const std::string& b) { return a.str() != b; }
  friend bool operator==(const std::string& a, section_name b) { return a == b.str(); }
  friend bool operator!=(const std::string& a, section_name b) { return a != b.str(); }
  friend std::ostream& operator<<(std::ostream& out, section_name name) {
    return out << name.str();
  }

  /// A small number, dense per pool, that is the same for equal names of
  /// the pool and differs otherwise; the empty name is 0.
  std::uint32_t id() const { return m_kept != nullptr ? m_kept->id : 0; }

 private:
  static const std::string& empty_text();

  const kept_text* m_kept = nullptr;
};
