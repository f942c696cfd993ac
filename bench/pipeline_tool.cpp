// Runs the map analysis of one file with the purpose-built matchers ("fast")
// or with std::regex ("regex") and prints the totals, so that whole-process
// times of the two can be compared on the same input.
// usage: pipeline_tool fast|regex Tev2|Tev2_mem32_unlimited DEFINITION MAP
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "bench/regex_reference.h"
#include "report/run_memory_report.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: pipeline_tool fast|regex Tev2|Tev2_mem32_unlimited DEFINITION MAP\n";
    return 2;
  }
  const std::string engine = argv[1];
  const std::string keyword = argv[2];
  std::unique_ptr<c_map_file> reader;
  if (engine == "regex") {
    if (keyword == "Tev2") {
      reader = std::make_unique<regex_elxr_reader>(argv[4]);
    } else {
      reader = std::make_unique<regex_mem32_reader>(argv[4]);
    }
  } else {
    reader = make_map_reader(keyword, argv[4]);
  }
  search_list searches;
  c_memory_def definition;
  if (!reader || !definition.read(argv[3], searches) || !reader->is_open) {
    std::cerr << "pipeline_tool: cannot read the inputs\n";
    return 1;
  }
  section_list program_sections;
  section_list memory_sections;
  reader->read(definition, program_sections, memory_sections);
  const memory_totals totals = compute_totals(definition, program_sections, memory_sections);
  std::printf("program %zu records %u bytes, memory %zu records %u bytes\n", totals.program_records,
              totals.program_bytes, totals.memory_records, totals.memory_bytes);
  return 0;
}
