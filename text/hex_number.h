// Hexadecimal number scanning shared by the readers. Every number the tool
// takes from an input file is hexadecimal; the readers differ only in what
// they make of a sign, a 0x prefix and a value beyond 32 bits, so the scan
// reports all of it and each caller applies its own rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct hex_scan {
  bool has_digits = false;  ///< at least one hexadecimal digit was read
  bool negative = false;    ///< a '-' sign stood before the digits
  bool overflow = false;    ///< the digits do not fit in 32 bits
  std::uint32_t value = 0;  ///< the digits' value (when no overflow), sign not applied
  std::size_t end = 0;      ///< position right after the last character taken
};

/// Classic-locale character classes (bytes >= 0x80 belong to none).
inline bool is_space_char(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool is_digit_char(char c) { return c >= '0' && c <= '9'; }
inline bool is_xdigit_char(char c) {
  return is_digit_char(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

/// Scans from pos: white space, then (when signed_form) an optional '+' or
/// '-' and an optional 0x/0X prefix that is followed by a digit, then
/// hexadecimal digits up to the first other character.
hex_scan scan_hex(std::string_view text, std::size_t pos, bool signed_form);

/// Reads an unsigned 32-bit hexadecimal number the way formatted stream input
/// with base 16 does: leading white space, then digits. No digit, or a value
/// beyond 0xFFFFFFFF, gives 0.
std::uint32_t parse_hex(std::string_view text);
