// A text in memory reads exactly as a file of the same bytes: the same lines,
// line ends, numbers and positions, for the awkward bytes (CR before LF, NUL,
// over-long lines, a last line without LF, lines across the 1 MiB block) and
// for a stretch [begin, end) of it, which also reaches past its end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "text/line_reader.h"

namespace {

using test_support::scoped_temp_dir;
using namespace std::string_literals;

struct read_line {
  std::string text;
  bool terminated = false;
  std::uint64_t number = 0;
  std::uint64_t position = 0;
  bool operator==(const read_line& other) const {
    return text == other.text && terminated == other.terminated && number == other.number &&
           position == other.position;
  }
};

std::vector<read_line> read_all(line_reader& reader) {
  std::vector<read_line> lines;
  std::string_view line;
  while (reader.next(line)) {
    lines.push_back({std::string(line), reader.last_line_terminated(), reader.line_number(),
                     reader.position()});
  }
  EXPECT_TRUE(reader.at_end());
  return lines;
}

struct text_case {
  const char* what;
  std::string bytes;
  std::size_t max_length;
};

std::vector<text_case> text_cases() {
  const std::size_t block = std::size_t{1} << 20;
  return {
      {"empty", "", 511},
      {"plain lines", "a\nbc\n\ndef\n", 511},
      {"CR LF and lone CRs", "a\r\nb\rc\r\r\nd\r", 511},
      {"NUL ends the text of a line", "ab\0cd\nef\n"s, 511},
      {"last line without LF", "one\ntwo", 511},
      {"over-long line cut, CR beyond the cut", std::string(600, 'x') + "\r\nnext\n", 511},
      {"line across the block boundary", std::string(block - 3, 'a') + "\nbcdefg\nh", 2047},
      {"line longer than a block", std::string(block + 100, 'b') + "\r\nend\n", 2047},
  };
}

TEST(LineReaderText, ReadsAsAFileOfTheSameBytes) {
  scoped_temp_dir dir;
  for (const text_case& one : text_cases()) {
    const std::string path = dir.write("input.txt", one.bytes);
    line_reader from_file(one.max_length);
    ASSERT_TRUE(from_file.open(path)) << one.what;
    line_reader from_text(one.max_length);
    ASSERT_TRUE(from_text.open(input_source::in_memory(one.bytes))) << one.what;
    EXPECT_TRUE(from_text.is_open()) << one.what;
    EXPECT_EQ(read_all(from_text), read_all(from_file)) << one.what;
  }
}

TEST(LineReaderText, HandKnownLinesOfAText) {
  line_reader reader(4);
  const std::string bytes = "ab\r\nlonger\nx\0y\nz"s;  // viewed: it must outlive the reading
  ASSERT_TRUE(reader.open(input_source::in_memory(bytes)));
  const std::vector<read_line> expected = {
      {"ab", true, 1, 4}, {"long", true, 2, 11}, {"x", true, 3, 15}, {"z", false, 4, 16}};
  EXPECT_EQ(read_all(reader), expected);
}

TEST(LineReaderText, StretchesReadAsTheSameStretchesOfAFile) {
  const std::string bytes = "zero\none\r\ntwo\nthree\nfour";
  scoped_temp_dir dir;
  const std::string path = dir.write("input.txt", bytes);
  const std::uint64_t size = bytes.size();
  const std::uint64_t stretches[][2] = {
      {0, size}, {5, 14}, {3, 9}, {14, UINT64_MAX}, {size, UINT64_MAX}, {size + 10, size + 20},
      {9, 4}};
  for (const auto& stretch : stretches) {
    line_reader from_file(511);
    line_reader from_text(511);
    const bool file_opened = from_file.open(path, stretch[0], stretch[1]);
    ASSERT_EQ(from_text.open(input_source::in_memory(bytes), stretch[0], stretch[1]), file_opened)
        << stretch[0] << ".." << stretch[1];
    if (file_opened) {
      EXPECT_EQ(read_all(from_text), read_all(from_file)) << stretch[0] << ".." << stretch[1];
    }
  }
}

TEST(LineReaderText, StretchInsideATextHoldsOnlyItsBytes) {
  line_reader reader(511);
  ASSERT_TRUE(reader.open(input_source::in_memory("zero\none\ntwo\n"), 5, 9));
  const std::vector<read_line> expected = {{"one", true, 1, 9}};
  EXPECT_EQ(read_all(reader), expected);
}

TEST(LineReaderText, ATextOpensWhateverItsNameAndAFileAfterItReadsTheFile) {
  scoped_temp_dir dir;
  line_reader reader(511);
  // The name of a text is never opened, even when it names no file.
  ASSERT_TRUE(reader.open(input_source::in_memory("text\n", dir.file("missing.txt"))));
  std::string_view line;
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, "text");
  ASSERT_TRUE(reader.open(dir.write("f.txt", "file\n")));
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, "file");
  EXPECT_FALSE(reader.next(line));
  reader.close();
  EXPECT_FALSE(reader.is_open());
}

TEST(InputSource, GivenWhenItHasATextOrAPath) {
  EXPECT_FALSE(input_source().given());
  EXPECT_FALSE(input_source("").given());
  EXPECT_TRUE(input_source("a.map").given());
  EXPECT_FALSE(input_source("a.map").in_memory());
  // An empty text is an input all the same: an empty file.
  EXPECT_TRUE(input_source::in_memory("").given());
  EXPECT_TRUE(input_source::in_memory("").in_memory());
}

}  // namespace
