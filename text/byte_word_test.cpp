// The eight-at-a-time character classes must agree with the one-at-a-time
// ones up to the first character that ends a run, for every byte value and
// position, and eight hexadecimal digits must read as their value.
#include "text/byte_word.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "text/hex_number.h"

namespace {

using byte_word::first_marked;
using byte_word::load;

bool is_classic_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

/// Position of the first character of text[0..8) that is not in the class.
template <typename Class>
unsigned first_outside(const std::string& text, Class in_class) {
  unsigned n = 0;
  while (n < 8 && in_class(text[n])) {
    ++n;
  }
  return n;
}

TEST(ByteWord, LoadPutsTheFirstCharacterLowest) {
  EXPECT_EQ(load("\x01\x02\x03\x04\x05\x06\x07\x08"), 0x0807060504030201ull);
  EXPECT_EQ(load("\xff\x00\x00\x00\x00\x00\x00\x80"), 0x80000000000000FFull);
}

TEST(ByteWord, RunsEndWhereTheOneAtATimeClassesSayForEveryByte) {
  std::mt19937 random(2024);
  const std::string fill[] = {"        ", "00000000", "aBcDeF09", "12345678", "\t\n\v\f\r   "};
  for (int value = 0; value < 256; ++value) {
    for (unsigned at = 0; at < 8; ++at) {
      for (const std::string& base : fill) {
        std::string text = base;
        text[at] = static_cast<char>(value);
        // Whatever follows the tested byte must not matter.
        for (unsigned after = at + 1; after < 8; ++after) {
          text[after] = static_cast<char>(random());
        }
        const std::uint64_t word = load(text.data());
        const auto mark_end = [&](std::uint64_t mask) {
          return first_marked(~mask & byte_word::k_highs);
        };
        const unsigned spaces = first_outside(text, is_classic_space);
        const unsigned digits = first_outside(text, [](char c) { return c >= '0' && c <= '9'; });
        const unsigned hex = first_outside(text, [](char c) { return is_xdigit_char(c); });
        const std::string where = "byte " + std::to_string(value) + " at " + std::to_string(at);
        EXPECT_EQ(std::min(mark_end(byte_word::spaces(word)), at + 1), std::min(spaces, at + 1))
            << where;
        EXPECT_EQ(std::min(mark_end(byte_word::decimal_digits(word)), at + 1),
                  std::min(digits, at + 1))
            << where;
        EXPECT_EQ(std::min(mark_end(byte_word::hex_digits(word)), at + 1), std::min(hex, at + 1))
            << where;
        EXPECT_EQ(std::min(mark_end(~byte_word::equal_to(word, 'x') & byte_word::k_highs), at + 1),
                  std::min(first_outside(text, [](char c) { return c != 'x'; }), at + 1))
            << where;
      }
    }
  }
}

TEST(ByteWord, EightHexDigitsReadAsTheirValue) {
  std::mt19937 random(77);
  const char digits[] = "0123456789abcdefABCDEF";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int d = 0; d < 8; ++d) {
      text += digits[random() % 22];
    }
    const auto expected = static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
    ASSERT_EQ(byte_word::hex8_value(load(text.data())), expected) << text;
  }
  EXPECT_EQ(byte_word::hex8_value(load("FFFFFFFF")), 0xFFFFFFFFu);
  EXPECT_EQ(byte_word::hex8_value(load("00000000")), 0u);
  EXPECT_EQ(byte_word::hex8_value(load("12345678")), 0x12345678u);
}

}  // namespace
