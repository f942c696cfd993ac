// Fuzz target: the line reader where the other targets cannot reach it, at the
// border of its read blocks. The input's bytes are put behind about a block
// of filler lines (the first byte sets how far before the border they start),
// and the lines read with both line limits of the tool must equal a plain
// split of the whole file: line feed ends a line, a carriage return before it
// is dropped, the limit cuts, a NUL ends the text, and the last line counts
// only when bytes stand after the last line feed. A stretch of the file must
// read like a file of its own bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "text/line_reader.h"

namespace {
using namespace fuzz_support;

constexpr std::size_t k_block = std::size_t{1} << 20;  // the reader's block size

void check_lines(const std::string& path, const std::string& bytes, std::size_t max_length) {
  const std::vector<text_line> expected = split_lines(bytes, max_length);
  line_reader reader(max_length);
  FUZZ_CHECK(reader.open(path));
  std::string_view line;
  for (const text_line& want : expected) {
    FUZZ_CHECK(reader.next(line));
    FUZZ_CHECK(line == want.text);
    FUZZ_CHECK(reader.last_line_terminated() == want.terminated);
  }
  FUZZ_CHECK(!reader.next(line));
  FUZZ_CHECK(reader.at_end());
  FUZZ_CHECK(!reader.next(line));
}

/// A stretch of the file reads like a file of its bytes, and the reader's
/// position stands behind each line it returned.
void check_stretch(const std::string& path, const std::string& bytes, std::size_t begin,
                   std::size_t end) {
  const std::string part = bytes.substr(begin, end - begin);
  const std::vector<text_line> expected = split_lines(part, 2047);
  line_reader reader(2047);
  FUZZ_CHECK(reader.open(path, begin, end));
  std::string_view line;
  std::size_t line_begin = 0;
  for (const text_line& want : expected) {
    FUZZ_CHECK(reader.next(line));
    FUZZ_CHECK(line == want.text);
    const std::size_t feed = part.find('\n', line_begin);
    line_begin = feed == std::string::npos ? part.size() : feed + 1;
    FUZZ_CHECK(reader.position() == begin + line_begin);
  }
  FUZZ_CHECK(!reader.next(line));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  // Filler lines of 1000 characters, then the input from 0 to 4080 bytes
  // before the border of the first block; the filler may end inside a line.
  const std::size_t before_border = std::size_t{data[0]} * 16;
  static const std::string filler = [] {
    std::string text;
    while (text.size() < k_block) {
      text += std::string(999, 'f') + "\n";
    }
    return text;
  }();
  std::string bytes = filler.substr(0, k_block - before_border);
  bytes.append(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string path = write_scratch("lines.txt", bytes);

  check_lines(path, bytes, 511);
  check_lines(path, bytes, 2047);
  // A stretch that begins somewhere near the border and ends somewhere in
  // the input.
  const std::size_t input_begin = k_block - before_border;
  const std::size_t begin = input_begin - std::size_t{data[size - 1]} * 8;
  const std::size_t end = input_begin + (size - 1) / (1 + data[size / 2] % 4);
  check_stretch(path, bytes, begin, end);
  return 0;
}
