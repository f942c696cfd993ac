// Analyses the bundled Tev2 example (or the folder given as the argument) and
// prints the fill of every range and the three largest counted sections.
#include <vemora/vemora.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "examples/tev2";
  vemora::request request;
  request.format = vemora::map_format::tev2;
  request.definition = vemora::input::file(folder + "/memory.def");
  request.map = vemora::input::file(folder + "/firmware.map");
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
  return 0;
}
