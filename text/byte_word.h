// Eight characters at a time. Listings pad their columns with long runs of
// blanks and write numbers as runs of eight hexadecimal digits; the scanners
// look at a machine word of eight characters at once and find the first one
// that ends a run. Every mask below has the high bit of a byte set for each
// character that belongs to the class, the first character being the lowest
// byte.
#pragma once

#include <cstdint>
#include <cstring>

namespace byte_word {

constexpr std::uint64_t k_ones = 0x0101010101010101ull;
constexpr std::uint64_t k_highs = k_ones * 0x80;

/// The eight characters from p on; the first one in the lowest byte.
inline std::uint64_t load(const char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  std::uint64_t word = 0;
  for (int i = 7; i >= 0; --i) {
    word = (word << 8) | static_cast<unsigned char>(p[i]);
  }
  return word;
#else
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
#endif
}

/// Position of the lowest set bit of bits, which is not zero.
inline unsigned lowest_bit(std::uint64_t bits) {
#if defined(__GNUC__)
  return static_cast<unsigned>(__builtin_ctzll(bits));
#else
  unsigned n = 0;
  while ((bits & 1) == 0) {
    bits >>= 1;
    ++n;
  }
  return n;
#endif
}

/// Position of the first marked character; 8 when none is.
inline unsigned first_marked(std::uint64_t mask) { return mask == 0 ? 8 : lowest_bit(mask) / 8; }

/// Characters below 0x80 (the classic locale's classes hold no others).
constexpr std::uint64_t ascii(std::uint64_t word) { return ~word & k_highs; }

/// Characters in [lo, hi]. Only meaningful for characters below 0x80 and the
/// ones before the first other character: callers mask with ascii().
constexpr std::uint64_t in_range(std::uint64_t word, unsigned char lo, unsigned char hi) {
  const std::uint64_t above_hi = (word + k_ones * (0x7Fu - hi)) & k_highs;
  const std::uint64_t from_lo = (word + k_ones * (0x80u - lo)) & k_highs;
  return from_lo & ~above_hi;
}

/// Characters equal to c.
constexpr std::uint64_t equal_to(std::uint64_t word, char c) {
  const std::uint64_t x = word ^ (k_ones * static_cast<unsigned char>(c));
  const std::uint64_t nonzero = (((x & ~k_highs) + ~k_highs) | x) & k_highs;
  return ~nonzero & k_highs;
}

/// Blanks: space, tab, line feed, vertical tab, form feed, carriage return.
constexpr std::uint64_t spaces(std::uint64_t word) {
  return (equal_to(word, ' ') | (in_range(word, '\t', '\r') & ascii(word)));
}

constexpr std::uint64_t decimal_digits(std::uint64_t word) {
  return in_range(word, '0', '9') & ascii(word);
}

constexpr std::uint64_t hex_digits(std::uint64_t word) {
  const std::uint64_t lower = word | (k_ones * 0x20);  // 'A'-'F' become 'a'-'f'
  return (in_range(word, '0', '9') | in_range(lower, 'a', 'f')) & ascii(word);
}

/// The value of eight hexadecimal digits, the first the most significant.
constexpr std::uint32_t hex8_value(std::uint64_t digits) {
  // Each byte to its digit value: the low four bits, plus 9 for letters
  // (whose bit 6 is set, unlike a digit's).
  std::uint64_t v = (digits & (k_ones * 0x0F)) + ((digits >> 6) & k_ones) * 9;
  // Pairs of digits into bytes, pairs of bytes into 16 bits, then the two
  // halves; the earlier character is the more significant one throughout.
  v = ((v & 0x000F000F000F000Full) << 4) | ((v >> 8) & 0x000F000F000F000Full);
  v = ((v & 0x000000FF000000FFull) << 8) | ((v >> 16) & 0x000000FF000000FFull);
  return static_cast<std::uint32_t>(((v & 0xFFFF) << 16) | ((v >> 32) & 0xFFFF));
}

}  // namespace byte_word
