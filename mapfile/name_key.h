// The cheap word and hash by which section names are looked up, shared by a
// thread's recent-name list and the name pool's own small cache. Inline: they
// run for every section line of a listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

/// The characters of a name in one word: all of them for a name of up to
/// eight, which the word and the length then tell apart from every other
/// name; the first and the last four for a longer one.
inline std::uint64_t name_key(std::string_view text) {
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
inline std::uint32_t quick_hash(std::uint64_t key, std::size_t size) {
  return static_cast<std::uint32_t>(((key ^ size) * 0x9E3779B97F4A7C15ull) >> 32);
}

inline std::uint32_t quick_hash(std::string_view text) {
  return quick_hash(name_key(text), text.size());
}
