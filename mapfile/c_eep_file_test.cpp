// Tests of the EEPROM project source reader: which lines name a value, how a
// value line is converted, when the scan ends, and the line rules (empty
// lines, over-long lines, CR LF, NUL, a missing final line feed).
#include "mapfile/c_eep_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/test_support.h"

namespace {

struct scan_result {
  bool ok = false;
  eep_sizes sizes;
  std::string output;
};

scan_result scan(const std::string& text) {
  test_support::scoped_temp_dir dir;
  const std::string path = dir.write("EepPrj.src", text);
  c_eep_file reader(path);
  EXPECT_TRUE(reader.is_open);
  scan_result result;
  std::ostringstream out;
  result.sizes.once_data_size = 0xDEAD;  // read_sizes starts from zero
  result.ok = reader.read_sizes(result.sizes, out);
  result.output = out.str();
  return result;
}

const std::string k_nul(1, '\0');

// The usual shape: a heading, then each name on a line of its own followed by
// its value line.
const std::string k_well_formed =
    "; EEPROM project source, generated\n"
    "_RuxEep_nOnceDataSize:\n"
    "    0x123,\n"
    "_RuxEep_nTrippleDataSize:\n"
    "    0x10,\n"
    "_RuxEep_nOnceDataFree:\n"
    "    0x2DD,\n"
    "_RuxEep_nTrippleDataFree:\n"
    "    0x30,\n"
    "; end\n";

}  // namespace

// ---- the common case -------------------------------------------------------

TEST(EepScan, ReadsAllFourValues) {
  const scan_result result = scan(k_well_formed);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 0x123u);
  EXPECT_EQ(result.sizes.triple_data_size, 0x10u);
  EXPECT_EQ(result.sizes.once_data_free, 0x2DDu);
  EXPECT_EQ(result.sizes.triple_data_free, 0x30u);
  EXPECT_EQ(result.output, "");
}

TEST(EepScan, FileThatCannotBeOpenedGivesFalseAndWritesNothing) {
  test_support::scoped_temp_dir dir;
  c_eep_file reader(dir.file("missing.src"));
  EXPECT_FALSE(reader.is_open);
  eep_sizes sizes;
  sizes.once_data_free = 7;
  std::ostringstream out;
  EXPECT_FALSE(reader.read_sizes(sizes, out));
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(sizes.once_data_free, 0u);
}

TEST(EepScan, CrLfReadsLikeLf) {
  // The last character of a value line is dropped: with the CR taken as part
  // of the line the value would be 0x40 instead of 4.
  const std::string lf =
      "heading\n_RuxEep_nOnceDataSize\n    0x40\n_RuxEep_nTrippleDataSize\n    0x11,\n"
      "_RuxEep_nOnceDataFree\n    0x22,\n_RuxEep_nTrippleDataFree\n    0x33,\n";
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') {
      crlf += '\r';
    }
    crlf += c;
  }
  const scan_result a = scan(lf);
  const scan_result b = scan(crlf);
  EXPECT_TRUE(a.ok);
  EXPECT_TRUE(b.ok);
  EXPECT_EQ(a.sizes.once_data_size, 4u);
  EXPECT_EQ(b.sizes.once_data_size, 4u);
  EXPECT_EQ(b.sizes.triple_data_size, 0x11u);
  EXPECT_EQ(b.sizes.once_data_free, 0x22u);
  EXPECT_EQ(b.sizes.triple_data_free, 0x33u);
}

// ---- which lines name a value ----------------------------------------------

TEST(EepScan, FirstLineIsNeverTested) {
  const scan_result result = scan(
      "_RuxEep_nOnceDataSize\n    0x77,\n"
      "_RuxEep_nTrippleDataSize\n    0x1,\n_RuxEep_nTrippleDataFree\n    0x2,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 0u);
  EXPECT_EQ(result.sizes.triple_data_size, 1u);
  EXPECT_EQ(result.sizes.triple_data_free, 2u);
}

TEST(EepScan, LinesWithACommaAreNoNameLines) {
  const scan_result result = scan(
      "heading\n"
      "  .extern _RuxEep_nTrippleDataFree, _RuxEep_nOtherData\n"
      "    0x99,\n"
      "_RuxEep_nOnceDataSize,\n"
      "    0x98,\n"
      "_RuxEep_nOnceDataSize\n"
      "    0x5,\n"
      "_RuxEep_nTrippleDataFree\n"
      "    0x6,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 5u);
  EXPECT_EQ(result.sizes.triple_data_free, 6u);
}

TEST(EepScan, NamesMatchAsCaseSensitiveSubstrings) {
  const scan_result result = scan(
      "heading\n"
      "_ruxeep_nOnceDataSize\n    0x1,\n"
      "_RuxEep_nOnceDataFREE\n    0x2,\n"
      "X_RuxEep_nOnceDataSizeTable: .dw\n    0x3,\n"
      "_RuxEep_nTrippleDataFree\n    0x4,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 3u);
  EXPECT_EQ(result.sizes.once_data_free, 0u);
  EXPECT_EQ(result.sizes.triple_data_free, 4u);
}

TEST(EepScan, TrippleDataFreeEndsTheScan) {
  const scan_result result = scan(
      "heading\n_RuxEep_nTrippleDataFree\n    0x30,\n"
      "_RuxEep_nOnceDataSize\n    0x123,\n_RuxEep_nTrippleDataSize\n    0x10,\n"
      "_RuxEep_nOnceDataFree\n    0x2DD,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.triple_data_free, 0x30u);
  EXPECT_EQ(result.sizes.once_data_size, 0u);
  EXPECT_EQ(result.sizes.triple_data_size, 0u);
  EXPECT_EQ(result.sizes.once_data_free, 0u);
}

TEST(EepScan, ANameListedTwiceKeepsTheSecondValue) {
  const scan_result result = scan(
      "heading\n_RuxEep_nOnceDataSize\n    0x1,\n_RuxEep_nOnceDataSize\n    0x2,\n"
      "_RuxEep_nTrippleDataFree\n    0x3,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 2u);
}

TEST(EepScan, ValueLineThatNamesALaterValueIsThatValuesNameLine) {
  // The value line of OnceDataSize names OnceDataFree: it is converted as the
  // first value ("Eep_nOnce..." from index 4 reads as 0xEE) and then taken as
  // the name line of OnceDataFree in the same pass.
  const scan_result result = scan(
      "heading\n_RuxEep_nOnceDataSize\n_RuxEep_nOnceDataFree\n    0x20,\n"
      "_RuxEep_nTrippleDataFree\n    0x3,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 0xEEu);
  EXPECT_EQ(result.sizes.once_data_free, 0x20u);
}

TEST(EepScan, ValueLineThatNamesAnEarlierValueIsNotTestedInTheSamePass) {
  // After TrippleDataSize only OnceDataFree and TrippleDataFree are tested on
  // its value line; the next pass starts with the line after it.
  const scan_result result = scan(
      "heading\n_RuxEep_nTrippleDataSize\n_RuxEep_nOnceDataSize\n    0x20,\n"
      "_RuxEep_nTrippleDataFree\n    0x3,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.triple_data_size, 0xEEu);
  EXPECT_EQ(result.sizes.once_data_size, 0u);
}

TEST(EepScan, TwoNamesOnOneLineTakeTheFirstInTestOrder) {
  const scan_result result = scan(
      "heading\n_RuxEep_nOnceDataFree _RuxEep_nOnceDataSize\n    0x7,\n"
      "_RuxEep_nTrippleDataFree\n    0x3,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 7u);
  EXPECT_EQ(result.sizes.once_data_free, 0u);
}

// ---- value lines -----------------------------------------------------------

TEST(EepValue, TextFromTheFifthToTheLastButOneCharacterIsHexadecimal) {
  EXPECT_EQ(c_eep_file::convert_value("    0x123,"), 0x123u);
  EXPECT_EQ(c_eep_file::convert_value("    0x40"), 4u) << "the last character is dropped";
  EXPECT_EQ(c_eep_file::convert_value("    100,"), 0x100u) << "hexadecimal without prefix";
  EXPECT_EQ(c_eep_file::convert_value("    0x40u,"), 0x40u);
  EXPECT_EQ(c_eep_file::convert_value("    0XaBc,"), 0xABCu);
  EXPECT_EQ(c_eep_file::convert_value("\t.dw 0x10,"), 0x10u) << "white space is skipped";
  EXPECT_EQ(c_eep_file::convert_value("    +0x10,"), 0x10u);
  EXPECT_EQ(c_eep_file::convert_value("    0x,"), 0u);
  EXPECT_EQ(c_eep_file::convert_value("    0xg1,"), 0u);
  EXPECT_EQ(c_eep_file::convert_value("    size,"), 0u);
  EXPECT_EQ(c_eep_file::convert_value("123456789"), 0x5678u) << "the first four are skipped";
}

TEST(EepValue, ShortValueLinesGiveZero) {
  EXPECT_EQ(c_eep_file::convert_value(""), 0u);
  EXPECT_EQ(c_eep_file::convert_value("1"), 0u);
  EXPECT_EQ(c_eep_file::convert_value("123"), 0u);
  EXPECT_EQ(c_eep_file::convert_value("1234"), 0u);
  EXPECT_EQ(c_eep_file::convert_value("12345"), 0u);
  EXPECT_EQ(c_eep_file::convert_value("123456"), 5u);
}

TEST(EepValue, SignAndOverflowFollowUnsignedLongConversion) {
  EXPECT_EQ(c_eep_file::convert_value("    -1,"), 0xFFFFFFFFu);
  EXPECT_EQ(c_eep_file::convert_value("    -0x10,"), 0xFFFFFFF0u);
  EXPECT_EQ(c_eep_file::convert_value("    0xFFFFFFFF,"), 0xFFFFFFFFu);
  EXPECT_EQ(c_eep_file::convert_value("    0x000000000123,"), 0x123u) << "leading zeros fit";
  EXPECT_EQ(c_eep_file::convert_value("    0x100000000,"), 0xFFFFFFFFu);
  EXPECT_EQ(c_eep_file::convert_value("    -0x100000000,"), 0xFFFFFFFFu);
  EXPECT_EQ(c_eep_file::convert_value("    -0x123456789ABCDEF0123,"), 0xFFFFFFFFu);
  EXPECT_EQ(c_eep_file::convert_value("    -0xFFFFFFFF,"), 1u);
}

TEST(EepScan, ShortValueLinesGiveZeroAndTheScanGoesOn) {
  const scan_result result = scan(
      "heading\n"
      "_RuxEep_nOnceDataSize\n    \n"
      "_RuxEep_nTrippleDataSize\n  0x9\n"
      "_RuxEep_nOnceDataFree\n\n"
      "_RuxEep_nTrippleDataFree\n    0x30,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 0u);
  EXPECT_EQ(result.sizes.triple_data_size, 0u);
  EXPECT_EQ(result.sizes.once_data_free, 0u);
  EXPECT_EQ(result.sizes.triple_data_free, 0x30u);
  EXPECT_EQ(result.output, "");
}

// ---- running out of lines --------------------------------------------------

TEST(EepScan, NineteenEmptyLinesArePassedOverTwentyEndTheScan) {
  const std::string head = "heading\n_RuxEep_nOnceDataSize\n    0x5,\n";
  const std::string tail = "_RuxEep_nTrippleDataFree\n    0x6,\n";

  const scan_result nineteen = scan(head + std::string(19, '\n') + tail);
  EXPECT_TRUE(nineteen.ok);
  EXPECT_EQ(nineteen.sizes.triple_data_free, 6u);
  EXPECT_EQ(nineteen.output, "");

  const scan_result twenty = scan(head + std::string(20, '\n') + tail);
  EXPECT_FALSE(twenty.ok);
  EXPECT_EQ(twenty.output, "File end\n");
  EXPECT_EQ(twenty.sizes.once_data_size, 5u) << "values read so far are kept";
  EXPECT_EQ(twenty.sizes.triple_data_free, 0u);

  // Right after the first line, too.
  EXPECT_FALSE(scan("heading\n" + std::string(20, '\n') + tail).ok);
  EXPECT_TRUE(scan("heading\n" + std::string(19, '\n') + tail).ok);
}

TEST(EepScan, LinesOfBlanksAreNotEmpty) {
  std::string blanks;
  for (int i = 0; i < 30; ++i) {
    blanks += " \n";
  }
  const scan_result result = scan("heading\n" + blanks + "_RuxEep_nTrippleDataFree\n    0x6,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.triple_data_free, 6u);
}

TEST(EepScan, FileEndingBeforeTheLastNameFails) {
  const scan_result result =
      scan("heading\n_RuxEep_nOnceDataSize\n    0x123,\n_RuxEep_nOnceDataFree\n    0x2DD,\n");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.output, "File end\n");
  EXPECT_EQ(result.sizes.once_data_size, 0x123u);
  EXPECT_EQ(result.sizes.once_data_free, 0x2DDu);

  EXPECT_EQ(scan("").output, "File end\n");
  EXPECT_EQ(scan("heading only").output, "File end\n");
}

TEST(EepScan, FileEndingRightAfterANameLineFails) {
  const scan_result terminated = scan("heading\n_RuxEep_nTrippleDataFree\n");
  EXPECT_FALSE(terminated.ok);
  EXPECT_EQ(terminated.output, "File end\n");

  const scan_result unterminated = scan("heading\n_RuxEep_nTrippleDataFree");
  EXPECT_FALSE(unterminated.ok);
  EXPECT_EQ(unterminated.output, "File end\n");

  const scan_result middle = scan("heading\n_RuxEep_nOnceDataSize\n");
  EXPECT_FALSE(middle.ok);
  EXPECT_EQ(middle.output, "File end\n");
}

TEST(EepScan, LastLineWithoutLineFeedIsALine) {
  const scan_result value = scan("heading\n_RuxEep_nTrippleDataFree\n    0x31,");
  EXPECT_TRUE(value.ok);
  EXPECT_EQ(value.sizes.triple_data_free, 0x31u);

  // A NUL empties the last line, but it is still the value line.
  const scan_result emptied = scan("heading\n_RuxEep_nTrippleDataFree\n" + k_nul + "    0x31,");
  EXPECT_TRUE(emptied.ok);
  EXPECT_EQ(emptied.sizes.triple_data_free, 0u);
  EXPECT_EQ(emptied.output, "");

  const scan_result name =
      scan("heading\n_RuxEep_nOnceDataSize\n    0x5,\n_RuxEep_nTrippleDataFree\n    0x6");
  EXPECT_TRUE(name.ok);
  EXPECT_EQ(name.sizes.triple_data_free, 0u) << "the last character of the value line dropped";
}

TEST(EepScan, NulEndsTheTextOfALine) {
  const scan_result result = scan("heading\n_RuxEep_nOnce" + k_nul + "DataSize\n    0x1,\n" +
                                  "_RuxEep_nTrippleDataFree\n    0x2" + k_nul + ",\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 0u);
  EXPECT_EQ(result.sizes.triple_data_free, 0u) << "\"    0x2\" loses its last character";
}

TEST(EepScan, OverlongLinesAreCutAndTheScanGoesOn) {
  const std::string comment = "; " + std::string(2000, 'c');
  // The comma stands beyond the 511th character: the cut line names a value.
  const std::string name_line = "_RuxEep_nOnceDataSize" + std::string(600, ' ') + ",";
  const std::string value_line = "    0x40" + std::string(600, ' ') + "x";
  const std::string huge_line(3 * 1024 * 1024, 'h');  // longer than a read block
  const scan_result result = scan("heading\n" + comment + "\n" + name_line + "\n" + value_line +
                                  "\n" + huge_line + "\n_RuxEep_nTrippleDataFree\n    0x6,\n");
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.sizes.once_data_size, 0x40u);
  EXPECT_EQ(result.sizes.triple_data_free, 6u);
  EXPECT_EQ(result.output, "");
}
