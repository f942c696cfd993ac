#include "mapfile/section_name.h"

#include <array>
#include <deque>
#include <unordered_map>
#include <vector>

namespace {
class name_pool {
 public:
  name_pool() { m_by_id.push_back(&m_texts.emplace_back()); }  // id 0: the empty name

  std::uint32_t intern(std::string_view text) {
    if (text.empty()) {
      return 0;
    }
    // Listings repeat their names, mostly from a small set: a small cache
    // spares most lookups the hashing.
    std::uint32_t& cached = m_recent[slot(text)];
    if (cached != 0 && *m_by_id[cached] == text) {
      return cached;
    }
    auto found = m_index.find(text);
    if (found == m_index.end()) {
      const std::string& kept = m_texts.emplace_back(text);
      const auto id = static_cast<std::uint32_t>(m_by_id.size());
      m_by_id.push_back(&kept);
      found = m_index.emplace(std::string_view(kept), id).first;
    }
    cached = found->second;
    return cached;
  }

  const std::string& text(std::uint32_t id) const { return *m_by_id[id]; }
  std::size_t size() const { return m_by_id.size(); }

 private:
  static std::size_t slot(std::string_view text) {
    const auto first = static_cast<unsigned char>(text.front());
    const auto last = static_cast<unsigned char>(text.back());
    return (text.size() * 31 + first * 7 + last) % k_slots;
  }

  static constexpr std::size_t k_slots = 256;
  std::deque<std::string> m_texts;  ///< a deque never moves what it holds
  std::vector<const std::string*> m_by_id;
  std::unordered_map<std::string_view, std::uint32_t> m_index;
  std::array<std::uint32_t, k_slots> m_recent{};
};

name_pool& pool() {
  static name_pool names;
  return names;
}
}  // namespace

std::uint32_t section_name::intern(std::string_view text) { return pool().intern(text); }

const std::string& section_name::text_of(std::uint32_t id) { return pool().text(id); }

std::size_t section_name::distinct_count() { return pool().size(); }
