#include "text/hex_number.h"

#include "text/byte_word.h"

namespace {
struct hex_table {
  signed char value[256] = {};
  constexpr hex_table() {
    for (unsigned u = 0; u < 256; ++u) {
      value[u] = -1;
    }
    for (unsigned u = 0; u < 10; ++u) {
      value['0' + u] = static_cast<signed char>(u);
    }
    for (unsigned u = 0; u < 6; ++u) {
      value['a' + u] = static_cast<signed char>(10 + u);
      value['A' + u] = static_cast<signed char>(10 + u);
    }
  }
};
constexpr hex_table k_hex;
}  // namespace

hex_scan scan_hex(std::string_view text, std::size_t pos, bool signed_form) {
  hex_scan result;
  const std::size_t n = text.size();
  while (pos < n && is_space_char(text[pos])) {
    ++pos;
  }
  if (signed_form) {
    if (pos < n && (text[pos] == '+' || text[pos] == '-')) {
      result.negative = text[pos] == '-';
      ++pos;
    }
    if (pos + 2 < n && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
        is_xdigit_char(text[pos + 2])) {
      pos += 2;
    }
  }
  std::uint64_t value = 0;
  for (; pos < n; ++pos) {
    const int digit = k_hex.value[static_cast<unsigned char>(text[pos])];
    if (digit < 0) {
      break;
    }
    result.has_digits = true;
    value = (value << 4) | static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFull) {
      result.overflow = true;
      value = 0x100000000ull;  // stays beyond 32 bits, cannot wrap back
    }
  }
  result.value = result.overflow ? 0 : static_cast<std::uint32_t>(value);
  result.end = pos;
  return result;
}

std::uint32_t parse_hex(std::string_view text) {
  // The usual case, a column of exactly eight digits, is read at once.
  if (text.size() >= 8) {
    const std::uint64_t word = byte_word::load(text.data());
    if (byte_word::hex_digits(word) == byte_word::k_highs &&
        (text.size() == 8 || k_hex.value[static_cast<unsigned char>(text[8])] < 0)) {
      return byte_word::hex8_value(word);
    }
  }
  const hex_scan scan = scan_hex(text, 0, false);
  return scan.overflow ? 0 : scan.value;
}
