// The line splitter under every reader: line ends (LF, CR LF, none at the
// end), NUL ending a line's text, the cut of over-long lines with the rest of
// the physical line dropped, lines across block boundaries, and opening
// things that are no readable file.
#include "text/line_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using test_support::scoped_temp_dir;
using namespace std::string_literals;

std::vector<std::string> read_all(const std::string& path, std::size_t max_length) {
  line_reader reader(max_length);
  EXPECT_TRUE(reader.open(path));
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) {
    lines.emplace_back(line);
  }
  return lines;
}

std::vector<std::string> read_bytes(const std::string& bytes, std::size_t max_length) {
  scoped_temp_dir dir;
  return read_all(dir.write("input.txt", bytes), max_length);
}

using lines = std::vector<std::string>;

TEST(LineReader, SplitsAtLineFeedsAndDropsOneCarriageReturnBeforeThem) {
  EXPECT_EQ(read_bytes("a\nbc\n\ndef\n", 511), (lines{"a", "bc", "", "def"}));
  EXPECT_EQ(read_bytes("a\r\nbc\r\n\r\n", 511), (lines{"a", "bc", ""}));
  // Only the carriage return right before the line feed goes.
  EXPECT_EQ(read_bytes("a\r\r\nb\rc\n", 511), (lines{"a\r", "b\rc"}));
  // A carriage return alone does not end a line.
  EXPECT_EQ(read_bytes("a\rb\n", 511), (lines{"a\rb"}));
  // Nor is a carriage return at the very end of the file part of a line end.
  EXPECT_EQ(read_bytes("a\nb\r", 511), (lines{"a", "b\r"}));
}

TEST(LineReader, LastLineWithoutLineFeedIsStillALine) {
  line_reader reader(511);
  scoped_temp_dir dir;
  ASSERT_TRUE(reader.open(dir.write("m.txt", "one\ntwo")));
  std::string_view line;
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, "one");
  EXPECT_TRUE(reader.last_line_terminated());
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, "two");
  EXPECT_FALSE(reader.last_line_terminated());
  EXPECT_FALSE(reader.next(line));
  EXPECT_FALSE(reader.next(line));
}

TEST(LineReader, AFinalLineFeedAddsNoEmptyLine) {
  EXPECT_EQ(read_bytes("x\n", 511), (lines{"x"}));
  EXPECT_EQ(read_bytes("x\n\n", 511), (lines{"x", ""}));
  EXPECT_EQ(read_bytes("\n", 511), (lines{""}));
  EXPECT_EQ(read_bytes("", 511), (lines{}));
}

TEST(LineReader, NulEndsTheTextOfItsLineOnly) {
  EXPECT_EQ(read_bytes("ab\0cd\nef\n"s, 511), (lines{"ab", "ef"}));
  EXPECT_EQ(read_bytes("\0xyz\r\nnext"s, 511), (lines{"", "next"}));
  // A NUL beyond the cut changes nothing; one before it ends the text.
  const std::string head(20, 'h');
  EXPECT_EQ(read_bytes(head + "tail" + std::string(1, '\0') + "\n", 20), (lines{head}));
  EXPECT_EQ(read_bytes("ab" + std::string(1, '\0') + std::string(40, 'z') + "\n", 20),
            (lines{"ab"}));
}

TEST(LineReader, LineOfExactlyTheLimitIsWhole) {
  const std::string exact(511, 'e');
  EXPECT_EQ(read_bytes(exact + "\nnext\n", 511), (lines{exact, "next"}));
  EXPECT_EQ(read_bytes(exact + "\r\nnext\n", 511), (lines{exact, "next"}));
  EXPECT_EQ(read_bytes(exact, 511), (lines{exact}));
}

TEST(LineReader, LongerLinesAreCutAndTheRestOfThatLineIsDropped) {
  const std::string head(511, 'h');
  EXPECT_EQ(read_bytes(head + "X\nnext\n", 511), (lines{head, "next"}));
  EXPECT_EQ(read_bytes(head + "XYZ PROGRAM 1 2\r\nnext\r\n", 511), (lines{head, "next"}));
  // Without a line feed at the end of the file.
  EXPECT_EQ(read_bytes("first\n" + head + "tail", 511), (lines{"first", head}));
  // The limit is the reader's own.
  const std::string head2047(2047, 'k');
  EXPECT_EQ(read_bytes(head2047 + "m\nnext", 2047), (lines{head2047, "next"}));
}

TEST(LineReader, LinesLongerThanAReadBlockAreCutToo) {
  // Several megabytes in one line, ended by CR LF, then more lines.
  std::string big(5 * 1024 * 1024 + 17, 'b');
  for (std::size_t i = 0; i < big.size(); i += 97) {
    big[i] = 'q';
  }
  const std::string bytes = "before\n" + big + "\r\nafter\nlast";
  EXPECT_EQ(read_bytes(bytes, 2047), (lines{"before", big.substr(0, 2047), "after", "last"}));
  EXPECT_EQ(read_bytes(bytes, 511), (lines{"before", big.substr(0, 511), "after", "last"}));
  // And as the last line of the file, without a line feed.
  EXPECT_EQ(read_bytes("before\n" + big, 511), (lines{"before", big.substr(0, 511)}));
}

/// Each line's text and whether the reader says it was cut.
std::vector<std::pair<std::size_t, bool>> cut_marks(const std::string& bytes,
                                                    std::size_t max_length) {
  scoped_temp_dir dir;
  line_reader reader(max_length);
  EXPECT_TRUE(reader.open(dir.write("input.txt", bytes)));
  std::vector<std::pair<std::size_t, bool>> marks;
  std::string_view line;
  while (reader.next(line)) {
    marks.emplace_back(line.size(), reader.last_line_cut());
  }
  return marks;
}

TEST(LineReader, SaysWhichLinesWereCut) {
  using marks = std::vector<std::pair<std::size_t, bool>>;
  const std::string exact(511, 'e');
  // A CR before the line feed is no part of the line's length.
  EXPECT_EQ(cut_marks(exact + "\r\n" + exact + "x\nshort", 511),
            (marks{{511, false}, {511, true}, {5, false}}));
  // Cut across read blocks, and as the last line without a line feed.
  const std::string big(3 * 1024 * 1024, 'b');
  EXPECT_EQ(cut_marks("a\n" + big + "\nb\n" + big, 2047),
            (marks{{1, false}, {2047, true}, {1, false}, {2047, true}}));
}

// The documented line rules written out plainly, for comparison.
std::vector<std::string> reference_lines(const std::string& bytes, std::size_t max_length) {
  std::vector<std::string> result;
  std::size_t begin = 0;
  while (begin < bytes.size()) {
    std::size_t end = bytes.find('\n', begin);
    const bool terminated = end != std::string::npos;
    if (!terminated) {
      end = bytes.size();
    }
    std::string line = bytes.substr(begin, end - begin);
    if (terminated && !line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.size() > max_length) {
      line.resize(max_length);
    }
    const std::size_t nul = line.find('\0');
    if (nul != std::string::npos) {
      line.resize(nul);
    }
    result.push_back(line);
    begin = end + 1;
  }
  return result;
}

/// About three megabytes of lines of random lengths over an alphabet: short
/// ones, ones around both line limits, now and then one longer than a read
/// block; some end in CR LF, the last one has no line end.
std::string random_lines(std::mt19937& random, const std::string& alphabet) {
  std::string bytes;
  while (bytes.size() < 3 * 1024 * 1024 + 123) {
    const unsigned kind = random() % 10;
    std::size_t length = random() % 80;
    if (kind == 0) {
      length = 500 + random() % 30;  // around the 511 limit
    } else if (kind == 1) {
      length = 2030 + random() % 40;  // around the 2047 limit
    } else if (kind == 2 && random() % 50 == 0) {
      length = 1200000;  // longer than a read block
    }
    for (std::size_t i = 0; i < length; ++i) {
      bytes += alphabet[random() % alphabet.size()];
    }
    bytes += (random() % 3 == 0) ? "\r\n" : "\n";
  }
  // A line end split over the first block boundary, too.
  bytes[(1 << 20) - 1] = '\r';
  bytes[1 << 20] = '\n';
  return bytes + "unterminated";
}

void expect_line_rules(const std::string& bytes) {
  for (const std::size_t max_length : {std::size_t{511}, std::size_t{2047}}) {
    const std::vector<std::string> expected = reference_lines(bytes, max_length);
    const std::vector<std::string> actual = read_bytes(bytes, max_length);
    ASSERT_EQ(actual.size(), expected.size()) << "limit " << max_length;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(actual[i], expected[i]) << "line " << i << ", limit " << max_length;
    }
  }
}

TEST(LineReader, ManyLinesAcrossBlockBoundariesAgreeWithTheLineRules) {
  std::mt19937 random(20161102);
  expect_line_rules(random_lines(random, "ab \t\r\0Z."s));
}

TEST(LineReader, RareNulBytesInLaterBlocksAreSeen) {
  std::mt19937 random(1102);
  std::string bytes = random_lines(random, "ab \t\rZ."s);
  // No NUL in the first block; a few after it, one of them in a line that
  // starts before a block boundary.
  for (const std::size_t at : {std::size_t{(1 << 20) + 3}, std::size_t{(2 << 20) - 2},
                               std::size_t{(2 << 20) + 700}, bytes.size() - 3}) {
    bytes[at] = '\0';
  }
  expect_line_rules(bytes);
}

TEST(LineReader, AStretchOfAFileReadsLikeAFileOfItsBytes) {
  std::mt19937 random(4711);
  const std::string bytes = random_lines(random, "ab \t\r\0Z."s);
  scoped_temp_dir dir;
  const std::string path = dir.write("input.txt", bytes);
  // Stretches that begin and end inside lines and on line starts, cross
  // block boundaries, hold a line longer than a block, or run to the end.
  std::vector<std::pair<std::size_t, std::size_t>> stretches = {{0, bytes.size()},
                                                                {0, 0},
                                                                {5, 5},
                                                                {(1 << 20) - 1, (1 << 20) + 1},
                                                                {bytes.size() - 5, bytes.size()}};
  for (int i = 0; i < 40; ++i) {
    std::size_t begin = random() % bytes.size();
    if (i % 2 == 0) {
      begin = bytes.find('\n', begin) + 1;  // a line start
    }
    const std::size_t end = begin + random() % (bytes.size() - begin + 1);
    stretches.emplace_back(begin, end);
  }
  for (const auto& [begin, end] : stretches) {
    const std::string part = bytes.substr(begin, end - begin);
    const std::vector<std::string> expected = reference_lines(part, 2047);
    line_reader reader(2047);
    ASSERT_TRUE(reader.open(path, begin, end));
    EXPECT_EQ(reader.position(), begin);
    std::size_t line_end = begin;  // where each line ends in the file, its line feed included
    std::string_view line;
    for (std::size_t n = 0; n < expected.size(); ++n) {
      ASSERT_TRUE(reader.next(line)) << "stretch " << begin << ".." << end << ", line " << n;
      ASSERT_EQ(line, expected[n]) << "stretch " << begin << ".." << end << ", line " << n;
      const std::size_t feed = part.find('\n', line_end - begin);
      line_end = feed == std::string::npos ? end : begin + feed + 1;
      ASSERT_EQ(reader.position(), line_end) << "stretch " << begin << ".." << end;
    }
    EXPECT_FALSE(reader.next(line)) << "stretch " << begin << ".." << end;
  }
}

TEST(LineReader, ReopeningStartsAgainFromTheFirstLine) {
  scoped_temp_dir dir;
  const std::string path = dir.write("m.txt", "one\ntwo\n");
  line_reader reader(511);
  ASSERT_TRUE(reader.open(path));
  std::string_view line;
  while (reader.next(line)) {
  }
  EXPECT_TRUE(reader.at_end());
  ASSERT_TRUE(reader.open(path));
  EXPECT_FALSE(reader.at_end());
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, "one");
  reader.close();
  EXPECT_FALSE(reader.is_open());
  EXPECT_FALSE(reader.next(line));
}

TEST(LineReader, NoFileNoDirectoryNoEmptyName) {
  scoped_temp_dir dir;
  line_reader reader(511);
  EXPECT_FALSE(reader.open(dir.file("missing.txt")));
  EXPECT_FALSE(reader.is_open());
  EXPECT_FALSE(reader.open(dir.path()));
  EXPECT_FALSE(reader.is_open());
  EXPECT_FALSE(reader.open(""));
  std::string_view line;
  EXPECT_FALSE(reader.next(line));
}

TEST(LineReader, AFailedOpenForgetsTheEarlierFile) {
  scoped_temp_dir dir;
  line_reader reader(511);
  ASSERT_TRUE(reader.open(dir.write("m.txt", "one\ntwo\n")));
  EXPECT_FALSE(reader.open(dir.file("missing.txt")));
  std::string_view line;
  EXPECT_FALSE(reader.next(line));
}

std::vector<std::string> split_text(std::string_view text, std::size_t max_length) {
  std::vector<std::string> result;
  std::size_t pos = 0;
  std::string_view line;
  while (next_text_line(text, pos, max_length, line)) {
    result.emplace_back(line);
  }
  return result;
}

// Text held in memory splits as the same bytes in a file read by line_reader.
TEST(TextLines, SplitLikeTheFileReader) {
  const std::string long_line(600, 'x');
  const struct {
    std::string text;
    lines expected;
  } cases[] = {
      {"", {}},
      {"\n", {""}},
      {"a\nb", {"a", "b"}},
      {"a\r\n\r\nb\r", {"a", "", "b\r"}},
      {"a\r\r\nb\rc\n", {"a\r", "b\rc"}},
      {"ab\0cd\nef\n"s, {"ab", "ef"}},
      {"\0\n\0"s, {"", ""}},
      {long_line + "\r\nz", {std::string(5, 'x'), "z"}},
      {"12345\r\n", {"12345"}},
      {"123456\r\n", {"12345"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(split_text(c.text, 5), c.expected) << c.text;
    EXPECT_EQ(read_bytes(c.text, 5), c.expected) << c.text;
  }
}

TEST(TextLines, AStartPastTheEndGivesNoLine) {
  std::size_t pos = 7;
  std::string_view line = "kept";
  EXPECT_FALSE(next_text_line("abc", pos, 511, line));
  EXPECT_EQ(line, "kept");
}

}  // namespace
