// Runs the section-line matchers over a fixed sample of lines a given number
// of times. Run under callgrind, the difference between two repetition
// counts gives the instructions spent per line, a measure that does not
// depend on the machine's speed or load (see check_instructions.sh).
// usage: matcher_sample typical|adversarial REPETITIONS
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mapfile/c_map_file_elxr.h"
#include "mapfile/elxr_line_matcher.h"

namespace {

std::vector<std::string> typical_lines() {
  std::vector<std::string> lines;
  for (unsigned i = 0; i < 1000; ++i) {
    char text[160];
    switch (i % 5) {
      case 0:
        std::snprintf(text, sizeof text, "%5u .text                   %08x %08x %08x 00000040   4",
                      i, i * 16, i * 4096, i * 4096);
        break;
      case 1:
        std::snprintf(text, sizeof text, "        ALLOC LOAD READONLY CODE");
        break;
      case 2:
        std::snprintf(text, sizeof text, "  module_%u.o   %08x  %u bytes   lib%u.a", i, i * 77,
                      i * 3, i % 31);
        break;
      default:
        std::snprintf(text, sizeof text, "%7u  0x%08x  0x%08x  GLOBAL FUNC  _symbol_%u", i,
                      i * 1234567u, i % 4096, i);
        break;
    }
    lines.emplace_back(text);
  }
  return lines;
}

std::vector<std::string> adversarial_lines() {
  std::vector<std::string> lines;
  for (unsigned i = 0; i < 20; ++i) {
    std::string named = std::to_string(i) + std::string(1900, ' ') + ".text";
    named += std::string(2047 - named.size() - 8, ' ') + "0000100";
    lines.push_back(named);
    std::string punct = std::to_string(i) + " ";
    while (punct.size() < 2046) {
      punct += "._";
    }
    punct.resize(2046);
    lines.push_back(punct + "-");
  }
  return lines;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: matcher_sample typical|adversarial REPETITIONS\n");
    return 2;
  }
  const std::string mode = argv[1];
  const long repetitions = std::strtol(argv[2], nullptr, 10);
  const std::vector<std::string> lines =
      mode == "adversarial" ? adversarial_lines() : typical_lines();
  const named_section_matcher named(c_map_file_elxr("").section_names());
  const mem32_section_matcher mem32;
  elxr_line_match match;
  unsigned long matched = 0;
  for (long r = 0; r < repetitions; ++r) {
    for (const std::string& line : lines) {
      matched += named.match(line, match) ? 1 : 0;
      matched += mem32.match(line, match) ? 1 : 0;
    }
  }
  // The count is printed so that the loop cannot be optimised away.
  std::printf("%zu lines, %lu matches\n", lines.size(), matched);
  return 0;
}
