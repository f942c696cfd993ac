// Analyses the bundled Tev2 example (or the folder given as the argument) and
// prints the fill of every range and the three largest counted sections.
// Given a keyword and a map in that folder as well, it reads that map; with
// the keyword Elf the map is a linked image, and a fourth argument names an
// image beside a listing. With an image it also prints the three largest
// symbols of each range.
//   memory_fill [FOLDER [KEYWORD MAP [IMAGE]]]
//   memory_fill examples/cortex-m Elf firmware.elf
#include <vemora/vemora.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {
/// The three largest symbols of each range, by the bytes they hold there.
void print_largest_symbols(const vemora::analysis& result) {
  const std::vector<vemora::section> sections = result.sections();
  const std::vector<vemora::symbol> symbols = result.symbols();
  for (const vemora::range_kind kind : {vemora::range_kind::program, vemora::range_kind::memory}) {
    const vemora::section_fate counted = kind == vemora::range_kind::program
                                             ? vemora::section_fate::counted_program
                                             : vemora::section_fate::counted_memory;
    for (const vemora::range& range : result.ranges(kind)) {
      std::vector<vemora::symbol> held;
      for (const vemora::symbol& symbol : symbols) {
        const vemora::section& section = sections[symbol.section];
        if (section.fate == counted && section.range_index == range.index) {
          held.push_back(symbol);
        }
      }
      // Equal sizes stay in address order.
      std::stable_sort(
          held.begin(), held.end(),
          [](const vemora::symbol& a, const vemora::symbol& b) { return a.bytes > b.bytes; });
      std::printf("largest symbols of %s (%llu of %llu bytes held by symbols):\n", range.id.c_str(),
                  static_cast<unsigned long long>(range.attributed.value_or(0)),
                  static_cast<unsigned long long>(range.used));
      for (std::size_t i = 0; i < held.size() && i < 3; ++i) {
        std::printf("  %-24s %8llu bytes\n", held[i].display.c_str(),
                    static_cast<unsigned long long>(held[i].bytes));
      }
    }
  }
}
}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "examples/tev2";
  const std::string keyword = argc > 3 ? argv[2] : "Tev2";
  const std::string map = argc > 3 ? argv[3] : "firmware.map";
  const std::optional<vemora::map_format> format = vemora::map_format_of(keyword);
  if (argc == 3 || argc > 5 || !format) {
    std::fprintf(stderr, "usage: memory_fill [FOLDER [KEYWORD MAP [IMAGE]]]\n");
    return 2;
  }
  vemora::request request;
  request.format = *format;
  request.definition = vemora::input::file(folder + "/memory.def");
  request.map = vemora::input::file(folder + "/" + map);
  if (argc > 4) {
    request.elf = vemora::input::file(folder + "/" + argv[4]);
  }
  const vemora::analysis result = vemora::analyse(request);
  if (!result.ok()) {
    for (const std::string& message : result.failure().messages) {
      std::fprintf(stderr, "%s\n", message.c_str());
    }
    return 1;
  }

  for (const vemora::range_kind kind : {vemora::range_kind::program, vemora::range_kind::memory}) {
    for (const vemora::range& range : result.ranges(kind)) {
      std::printf("%-9s %8llu of %8u bytes", range.id.c_str(),
                  static_cast<unsigned long long>(range.used), range.size);
      if (range.used_pct) {
        std::printf("  %6.2f%%", *range.used_pct);
      }
      std::printf("\n");
    }
  }

  std::vector<vemora::section> counted;
  for (const vemora::section& section : result.sections()) {
    if (vemora::is_counted(section.fate)) {
      counted.push_back(section);
    }
  }
  const auto shown = static_cast<std::ptrdiff_t>(std::min<std::size_t>(3, counted.size()));
  std::partial_sort(
      counted.begin(), counted.begin() + shown, counted.end(),
      [](const vemora::section& a, const vemora::section& b) { return a.size > b.size; });
  std::printf("largest sections:\n");
  for (std::ptrdiff_t i = 0; i < shown; ++i) {
    std::printf("  %-16s %8u bytes\n", counted[i].name.c_str(), counted[i].size);
  }

  if (result.image()) {
    print_largest_symbols(result);
  }
  return 0;
}
