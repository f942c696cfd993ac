// The name of a section record. A listing with hundreds of thousands of
// sections repeats a few dozen names, so every distinct text is kept once for
// the rest of the run and a name is a number that stands for it: records stay
// small and trivially copyable, copying a name copies four bytes, and two
// names are equal exactly when their numbers are. The texts are never freed,
// like the other data the readers build once per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

class section_name {
 public:
  /// The names one thread met last. Names may be made on several threads at
  /// once, each with a list of its own: a name found in the list is made
  /// without waiting for the other threads. While names are made on another
  /// thread, no name's text may be read.
  class recent_list {
   public:
    recent_list() = default;

   private:
    friend class section_name;
    struct entry {
      const std::string* text = nullptr;  ///< nullptr marks a free slot
      std::uint32_t id = 0;
      std::uint32_t size = 0;
      std::uint64_t key = 0;  ///< characters of the text in one word
    };
    /// A power of two; the list starts afresh when half of it is taken.
    static constexpr std::size_t k_slots = 256;
    entry m_entries[k_slots];
    std::size_t m_taken = 0;
  };

  /// The empty name.
  section_name() = default;
  section_name(std::string_view text) : m_id(intern(text)) {}  // NOLINT: implicit by design
  section_name(std::string_view text, recent_list& recent) : m_id(intern(text, recent)) {}
  section_name(const std::string& text) : section_name(std::string_view(text)) {}  // NOLINT
  section_name(const char* text) : section_name(std::string_view(text)) {}         // NOLINT

  const std::string& str() const { return text_of(m_id); }
  operator const std::string&() const { return str(); }  // NOLINT: reads like a string
  operator std::string_view() const { return str(); }    // NOLINT

  bool empty() const { return m_id == 0; }
  std::size_t size() const { return str().size(); }

  /// Equal texts share one handle, so identity is equality.
  friend bool operator==(section_name a, section_name b) { return a.m_id == b.m_id; }
  friend bool operator!=(section_name a, section_name b) { return a.m_id != b.m_id; }
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

  /// A number that is the same for equal names and differs otherwise; the
  /// empty name is 0.
  std::uint32_t id() const { return m_id; }

  /// How many distinct texts have been kept so far, the empty one included.
  static std::size_t distinct_count();

 private:
  static std::uint32_t intern(std::string_view text);
  static std::uint32_t intern(std::string_view text, recent_list& recent);
  static const std::string& text_of(std::uint32_t id);

  std::uint32_t m_id = 0;
};
