// Hexadecimal scanning: parse_hex as the map readers use it (digits only,
// 0 for no digit or a value beyond 32 bits) and the signed form of scan_hex
// that the memory definition file uses (sign, 0x prefix, where reading ends).
#include "text/hex_number.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ParseHex, ReadsDigitsInEitherCaseAfterLeadingWhiteSpace) {
  EXPECT_EQ(parse_hex("0"), 0u);
  EXPECT_EQ(parse_hex("1f"), 0x1Fu);
  EXPECT_EQ(parse_hex("1F"), 0x1Fu);
  EXPECT_EQ(parse_hex("DeadBeef"), 0xDEADBEEFu);
  EXPECT_EQ(parse_hex(" \t\v\f\r\n10"), 0x10u);
  // A decimal-looking column is hexadecimal.
  EXPECT_EQ(parse_hex("1000"), 0x1000u);
}

TEST(ParseHex, StopsAtTheFirstCharacterThatIsNoDigit) {
  EXPECT_EQ(parse_hex("12g4"), 0x12u);
  EXPECT_EQ(parse_hex("40000010 2**2"), 0x40000010u);
  EXPECT_EQ(parse_hex("ab,cd"), 0xABu);
}

TEST(ParseHex, NothingReadableGivesZero) {
  EXPECT_EQ(parse_hex(""), 0u);
  EXPECT_EQ(parse_hex("   "), 0u);
  EXPECT_EQ(parse_hex("xyz"), 0u);
  EXPECT_EQ(parse_hex("g1"), 0u);
}

TEST(ParseHex, ValuesBeyondThirtyTwoBitsGiveZero) {
  EXPECT_EQ(parse_hex("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(parse_hex("100000000"), 0u);
  EXPECT_EQ(parse_hex("123456789abcdef0123"), 0u);
  // Leading zeros do not count towards the width.
  EXPECT_EQ(parse_hex("0000000000000000FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(parse_hex(std::string(4000, '0') + "1"), 1u);
}

TEST(ScanHexSigned, SignAndPrefix) {
  hex_scan scan = scan_hex("  -1f ", 0, true);
  EXPECT_TRUE(scan.has_digits);
  EXPECT_TRUE(scan.negative);
  EXPECT_FALSE(scan.overflow);
  EXPECT_EQ(scan.value, 0x1Fu);
  EXPECT_EQ(scan.end, 5u);

  scan = scan_hex("+0x8000", 0, true);
  EXPECT_TRUE(scan.has_digits);
  EXPECT_FALSE(scan.negative);
  EXPECT_EQ(scan.value, 0x8000u);
  EXPECT_EQ(scan.end, 7u);

  scan = scan_hex("0XaB", 0, true);
  EXPECT_EQ(scan.value, 0xABu);
  EXPECT_EQ(scan.end, 4u);

  scan = scan_hex("-0x10", 0, true);
  EXPECT_TRUE(scan.negative);
  EXPECT_EQ(scan.value, 0x10u);
}

TEST(ScanHexSigned, StartsAtTheGivenPosition) {
  const hex_scan scan = scan_hex("10 20", 2, true);
  EXPECT_EQ(scan.value, 0x20u);
  EXPECT_EQ(scan.end, 5u);
}

TEST(ScanHexSigned, ABlankAfterTheSignIsNoNumber) {
  const hex_scan scan = scan_hex("- 5", 0, true);
  EXPECT_FALSE(scan.has_digits);
}

TEST(ScanHexSigned, OverflowIsReportedAndTheDigitsAreStillConsumed) {
  const hex_scan scan = scan_hex("123456789 5", 0, true);
  EXPECT_TRUE(scan.has_digits);
  EXPECT_TRUE(scan.overflow);
  EXPECT_EQ(scan.value, 0u);
  EXPECT_EQ(scan.end, 9u);
}

}  // namespace
