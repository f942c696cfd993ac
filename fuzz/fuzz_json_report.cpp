// Fuzz target: the report formats on the analysis of random inputs, in the
// input layout of fuzz_whole_run (first byte: keyword in bits 0-2, EEPROM
// source in bit 3; the rest split at "\n@@@@\n" into definition, map and
// EEPROM source). The JSON must parse as strict UTF-8 JSON and list every
// range, entry and fate; the CSV must have one row per fate or range.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "analysis/analysis.h"
#include "formats/report_formats.h"
#include "fuzz/fuzz_support.h"

namespace {
using namespace fuzz_support;

const char* const k_keywords[] = {"Orm6", "Tev2", "Tev2_mem32_unlimited", "Orm8", "Pux4", "Tev2",
                                  "Orm6", "Pux5"};

std::size_t rows_of(const std::string& csv) {
  std::size_t rows = 0;
  for (std::size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2)) {
    ++rows;
  }
  return rows;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string_view parts[3];
  split_run_inputs(rest, parts);
  analysis_request request;
  request.type_keyword = k_keywords[data[0] & 7];
  request.definition_path = write_scratch("memory.def", parts[0]);
  request.map_path = write_scratch("firmware.map", parts[1]);
  if ((data[0] & 8) != 0) {
    request.eeprom_path = write_scratch("EepPrj.src", parts[2]);
  }
  request.collect_fates = true;
  const analysis_result result = analyse(request);
  const memory_analysis& memory = result.memory;

  report_context context;
  context.keyword = request.type_keyword;
  std::ostringstream json_text;
  write_json_report(json_text, result, context);
  // Throws, and so aborts, on invalid JSON or invalid UTF-8.
  const nlohmann::json json = nlohmann::json::parse(json_text.str());
  FUZZ_CHECK(json["ranges"].size() == memory.program_usage.size() + memory.memory_usage.size());
  FUZZ_CHECK(json["groups"].size() == memory.breakdown.entries.size());
  FUZZ_CHECK(json["sections"].size() == memory.fates.size());
  FUZZ_CHECK(json["totals"]["program"]["used"].get<std::uint64_t>() == memory.program_used);
  FUZZ_CHECK(json["eeprom"].is_null() == (!result.has_eep || result.eep.failure.failed()));

  std::ostringstream sections;
  write_sections_csv(sections, result);
  std::ostringstream ranges;
  write_ranges_csv(ranges, result);
  FUZZ_CHECK(rows_of(sections.str()) == memory.fates.size() + 1);
  FUZZ_CHECK(rows_of(ranges.str()) == memory.program_usage.size() + memory.memory_usage.size() + 1);
  std::ostringstream markdown;
  write_markdown_report(markdown, result, context);
  FUZZ_CHECK(markdown.str().rfind("# Memory usage of ", 0) == 0);
  return 0;
}
