#include "memdef/hex_number.h"

namespace {
unsigned hex_digit_value(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<unsigned>(c - '0');
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<unsigned>(c - 'a' + 10);
  }
  return static_cast<unsigned>(c - 'A' + 10);
}
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
  while (pos < n && is_xdigit_char(text[pos])) {
    result.has_digits = true;
    if (!result.overflow) {
      value = (value << 4) | hex_digit_value(text[pos]);
      if (value > 0xFFFFFFFFull) {
        result.overflow = true;
      }
    }
    ++pos;
  }
  result.value = result.overflow ? 0 : static_cast<std::uint32_t>(value);
  result.end = pos;
  return result;
}

std::uint32_t parse_hex(std::string_view text) {
  const hex_scan scan = scan_hex(text, 0, false);
  if (!scan.has_digits || scan.overflow) {
    return 0;
  }
  return scan.value;
}
