// Fuzz target: a whole run, definition + map + EEPROM source through the
// memory report and the EEP size report into a string stream. The first byte
// picks the type keyword (bits 0-2; 7 is a keyword no reader has) and whether
// the EEP report follows (bit 3); the rest is split at "\n@@@@\n" into the
// definition file, the map file and the EEPROM source. The report text must
// equal the layout filled with numbers computed here from the section lists,
// "Vemora.amb" must hold exactly the ambiguous matches (and exist only when
// there are some), no other file may appear, and no input may change. The
// lint of the run points into the files it names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "eep/run_eep_report.h"
#include "fuzz/fuzz_support.h"
#include "lint/lint.h"
#include "report/run_memory_report.h"

namespace {
using namespace fuzz_support;

const char* const k_keywords[] = {"Orm6", "Tev2", "Tev2_mem32_unlimited", "Orm8", "Pux4", "Tev2",
                                  "Orm6", "Pux5"};

std::string pad(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string fix(double value, std::size_t width = 0) {
  char text[400];
  std::snprintf(text, sizeof text, "%.2f", value);
  return pad(text, width);
}

std::string quotient(double numerator, double denominator, std::size_t width = 0) {
  if (denominator == 0.0) {
    return pad(numerator == 0.0 ? "0.00" : "inf", width);
  }
  return fix(numerator / denominator, width);
}

std::string integer(std::int64_t value, std::size_t width = 0) {
  return pad(std::to_string(value), width);
}

// The lint of the same run: each map finding on a line of the map, each
// definition finding on one of the definition, one VL105 per overfull range.
void check_lint(const std::string& keyword, const std::string& definition_path,
                const std::string& map_path, const memory_analysis& analysis,
                std::uint64_t map_lines) {
  const definition_diagnosis diagnosis = diagnose_memory_def_file(definition_path);
  FUZZ_CHECK(diagnosis.readable);
  const std::vector<lint_finding> findings =
      lint_findings(diagnosis, definition_path, {&analysis, keyword, map_path});
  std::size_t overfull = 0;
  for (const std::vector<range_usage>* usage : {&analysis.program_usage, &analysis.memory_usage}) {
    for (const range_usage& range : *usage) {
      overfull += range.used_rounded() > range.range.size ? 1 : 0;
    }
  }
  std::size_t overfull_found = 0;
  bool in_map = false;
  for (const lint_finding& finding : findings) {
    FUZZ_CHECK(!finding.message.empty() && finding.code.size() == 5);
    if (finding.file == map_path && finding.code[2] == '1') {
      in_map = true;
      FUZZ_CHECK(finding.line <= map_lines);
      continue;
    }
    FUZZ_CHECK(!in_map && finding.file == definition_path);  // the definition's come first
    FUZZ_CHECK(finding.line <= diagnosis.line_count);
    overfull_found += finding.code == "VL105" ? 1 : 0;
  }
  FUZZ_CHECK(overfull_found == overfull);
}

// With every fate kept, the analysis must give the same sums as without, and
// the counted fates must be exactly the listed sections, in map-line order,
// made-up sections last.
void check_fates(const std::string& keyword, const std::string& definition_path,
                 const std::string& map_path, std::string_view map_text) {
  analysis_request request;
  request.type_keyword = keyword;
  request.definition_path = definition_path;
  request.map_path = map_path;
  const memory_analysis plain = analyse_memory(request);
  request.collect_fates = true;
  const memory_analysis observed = analyse_memory(request);
  FUZZ_CHECK(plain.failure.messages == observed.failure.messages);
  FUZZ_CHECK(plain.program_used == observed.program_used);
  FUZZ_CHECK(plain.memory_used_bytes == observed.memory_used_bytes);
  FUZZ_CHECK(plain.memory_used_bits == observed.memory_used_bits);
  FUZZ_CHECK(plain.program_sections.size() == observed.program_sections.size());
  FUZZ_CHECK(plain.memory_sections.size() == observed.memory_sections.size());
  if (observed.failure.failed()) {
    FUZZ_CHECK(observed.fates.empty());
    return;
  }
  const std::uint64_t map_lines =
      static_cast<std::uint64_t>(std::count(map_text.begin(), map_text.end(), '\n')) + 1;
  std::uint64_t program_bytes = 0;
  std::uint64_t memory_bytes = 0;
  std::size_t program_count = 0;
  std::size_t memory_count = 0;
  std::uint64_t last_line = 0;
  bool made_up_seen = false;
  for (const section_fate_record& fate : observed.fates) {
    if (fate.map_line == 0) {
      made_up_seen = true;
    } else {
      FUZZ_CHECK(!made_up_seen);
      FUZZ_CHECK(fate.map_line >= last_line && fate.map_line <= map_lines);
      last_line = fate.map_line;
    }
    if (fate.fate == section_fate::counted_program) {
      FUZZ_CHECK(fate.range_index >= 0 &&
                 static_cast<std::size_t>(fate.range_index) < plain.program_usage.size());
      program_bytes += fate.size;
      ++program_count;
    } else if (fate.fate == section_fate::counted_memory) {
      FUZZ_CHECK(fate.range_index >= 0 &&
                 static_cast<std::size_t>(fate.range_index) < plain.memory_usage.size());
      memory_bytes += fate.size;
      ++memory_count;
    } else {
      FUZZ_CHECK(fate.range_index == -1);
    }
  }
  // Each counted program section names its place in the list and the entry
  // that counted it.
  const std::vector<section_record> listed(observed.program_sections.begin(),
                                           observed.program_sections.end());
  std::vector<char> placed(listed.size(), 0);
  for (const section_fate_record& fate : observed.fates) {
    if (fate.fate != section_fate::counted_program) {
      FUZZ_CHECK(fate.program_index == -1 && fate.group == -1);
      continue;
    }
    FUZZ_CHECK(fate.program_index >= 0 &&
               static_cast<std::size_t>(fate.program_index) < listed.size());
    const auto place = static_cast<std::size_t>(fate.program_index);
    FUZZ_CHECK(!placed[place]);
    placed[place] = 1;
    FUZZ_CHECK(listed[place].name.str() == fate.name && listed[place].start == fate.start &&
               listed[place].size == fate.size);
    for (std::size_t entry = 0; entry < observed.breakdown.entries.size(); ++entry) {
      const std::vector<std::uint32_t>& counted = observed.breakdown.entries[entry].sections;
      const bool counts_it = std::find(counted.begin(), counted.end(), place) != counted.end();
      FUZZ_CHECK(counts_it == (fate.group == static_cast<std::int32_t>(entry)));
    }
  }
  FUZZ_CHECK(program_count == observed.program_sections.size());
  FUZZ_CHECK(memory_count == observed.memory_sections.size());
  FUZZ_CHECK(program_bytes == observed.program_used);
  FUZZ_CHECK(memory_bytes == observed.memory_used_bytes + observed.memory_used_bits);
  check_lint(keyword, definition_path, map_path, observed, map_lines);
}

struct expected_run {
  std::string report;
  std::string result_file;  ///< lines of "Vemora.amb"; empty when none is written
};

expected_run expected_report(const c_memory_def& definition, const search_list& searches,
                             const section_list& program_sections,
                             const section_list& memory_sections, const std::string& amb_path) {
  std::uint32_t memory_bytes = 0;
  std::uint32_t bit_count = 0;
  double memory_floating = 0;
  for (const section_record& r : memory_sections) {
    if (r.size_unit == 1) {
      bit_count += r.size;
      memory_floating += r.size * 0.125;
    } else {
      memory_bytes += r.size;
      memory_floating += r.size;
    }
  }
  std::uint32_t program_bytes = 0;
  double program_floating = 0;
  std::vector<std::uint32_t> used(definition.program_ranges.size(), 0);

  // Search accounting: the first entry that claims a name counts the record.
  std::vector<std::uint32_t> entry_totals(searches.size(), 0);
  std::map<std::string, std::string> claimed;
  std::string result_file;
  std::uint32_t ambiguous_bytes = 0;
  for (const section_record& r : program_sections) {
    program_bytes += r.size;
    program_floating += r.size;
    used[r.range_index] += r.size;
    for (std::size_t e = 0; e < searches.size(); ++e) {
      if (!searches[e].matches(r.name)) {
        continue;
      }
      const std::string& text = searches[e].display_text();
      const auto earlier = claimed.find(r.name);
      if (earlier != claimed.end()) {
        result_file +=
            r.name.str() + ": Found in [ " + text + "] and in [ " + earlier->second + "]\n";
        ambiguous_bytes += r.size;
      } else {
        claimed.emplace(r.name, text);
        entry_totals[e] += r.size;
      }
    }
  }
  const std::uint32_t memory_total = c_memory_def::total_size(definition.memory_ranges);
  const std::uint32_t program_total = c_memory_def::total_size(definition.program_ranges);
  const double memory_used = bit_count * 0.125 + memory_bytes;
  const std::uint32_t memory_used_rounded = ((bit_count + 4) >> 3) + memory_bytes;

  const std::string stars = "************************************\n";
  std::string t = stars + "*       Vemora Memory Report       *\n" +
                  "*       In [Byte]                  *\n" +
                  "*       With 8-Bit / Byte          *\n" + stars + "\n";
  t += "Average module, Mem area: " +
       quotient(memory_floating, static_cast<double>(memory_sections.size()), 7) + "\n";
  t += "Average module, Prg area: " +
       quotient(program_floating, static_cast<double>(program_sections.size()), 7) + "\n\n";
  t += "Mem area used: " + integer(memory_bytes, 7) + "\n";
  t += "Bit area used: " + integer(bit_count, 7) + "\n";
  t += "Prg area used: " + integer(program_bytes, 7) + "\n\n";
  t += "Memory area:\nTotal:    " + integer(memory_total, 9) + "\n";
  t += "Pct Used: " + quotient(memory_used_rounded * 100.0, memory_total, 12) + "%\n";
  t += "Free:     " + fix(memory_total - memory_used, 12) + "\n";
  t += "Used:     " + fix(memory_used, 12) + "\n\n";
  t += "Program area:\nTotal:    " + integer(program_total, 9) + "\n";
  t += "Pct Used: " + quotient(program_bytes * 100.0, program_total, 12) + "%\n";
  t += "Free:     " + fix(static_cast<double>(program_total) - program_bytes, 12) + "\n";
  t += "Used:     " + fix(program_bytes, 12) + "\n\n\n";
  for (std::size_t i = 0; i < definition.program_ranges.size(); ++i) {
    const std::uint32_t s = definition.program_ranges[i].size;
    const std::uint32_t u = used[i];
    t += "  Prg seg" + std::to_string(i) + ":   " + "  Used  " + integer(u, 7) + ", Free  " +
         integer(std::int64_t{s} - u, 7) + ", Total " + integer(s, 7) + ", Pct Used " +
         quotient(u * 100.0, s, 7) + "%\n";
  }
  t += "\n";
  if (!searches.empty()) {
    t += "Program breakdown:\n";
    std::uint32_t accounted = 0;
    for (std::size_t e = 0; e < searches.size(); ++e) {
      t += integer(entry_totals[e], 7) + " : " +
           quotient(entry_totals[e] * 100.0, program_bytes, 7) +
           "% , Search = " + searches[e].display_text() + "\n";
      accounted += entry_totals[e];
    }
    t += "---------------------------------------\n";
    t += integer(accounted) +
         "\tAccounted for in search: " + quotient(accounted * 100.0, program_bytes) + "%\n\n";
    if (!result_file.empty()) {
      t += "Warning: Ambiguous search with " + integer(ambiguous_bytes) + " = " +
           quotient(ambiguous_bytes * 100.0, program_bytes) +
           "% found and removed from multiple counting. See ambiguous search result file in " +
           amb_path + ".\n\n";
    }
  } else {
    result_file.clear();
  }
  return {t, result_file};
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::string keyword = k_keywords[data[0] & 7];
  const bool with_eep = (data[0] & 8) != 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string_view parts[3];
  split_run_inputs(rest, parts);

  remove_scratch("Vemora.amb");
  const std::string definition_path = write_scratch("memory.def", parts[0]);
  const std::string map_path = write_scratch("firmware.map", parts[1]);
  const std::string eep_path = write_scratch("EepPrj.src", parts[2]);
  const std::string amb_path = search_accounting::result_file_path(map_path);
  FUZZ_CHECK(amb_path == scratch_dir() + "/Vemora.amb");

  // What the report has to show, from an independent reading of the inputs.
  c_memory_def definition;
  search_list searches;
  const bool definition_read = definition.read(definition_path, searches);
  std::unique_ptr<c_map_file> reader = make_map_reader(keyword, map_path);
  std::string expected_text;
  std::string expected_amb;
  bool expected_ok = false;
  if (!reader) {
    expected_text = "Vemora:\tMap definition file type is not supported.\n";
  } else if (!definition_read) {
    expected_text = "Vemora:\tInvalid memory definition file.\n";
  } else {
    FUZZ_CHECK(reader->is_open);
    expected_ok = true;
    section_list program_sections;
    section_list memory_sections;
    const bool placed_any = reader->read(definition, program_sections, memory_sections);
    FUZZ_CHECK(placed_any == (!program_sections.empty() || !memory_sections.empty()));
    check_section_lists(definition, program_sections, memory_sections);
    if (placed_any) {
      const expected_run run =
          expected_report(definition, searches, program_sections, memory_sections, amb_path);
      expected_text = run.report;
      expected_amb = run.result_file;
    }
  }
  reader.reset();

  std::ostringstream out;
  const bool ok = run_memory_report(map_path, definition_path, keyword, out);
  FUZZ_CHECK(ok == expected_ok);
  if (out.str() != expected_text) {
    fail(__FILE__, __LINE__,
         "report differs; got:\n" + out.str() + "\nexpected:\n" + expected_text);
  }
  FUZZ_CHECK(read_whole_file(amb_path) == expected_amb);

  if (ok && with_eep) {
    run_eep_report(eep_path, out);
  }
  check_fates(keyword, definition_path, map_path, parts[1]);

  std::vector<std::string> expected_entries = {"EepPrj.src", "firmware.map", "memory.def"};
  if (!expected_amb.empty()) {
    expected_entries.push_back("Vemora.amb");
    std::sort(expected_entries.begin(), expected_entries.end());
  }
  FUZZ_CHECK(scratch_entries() == expected_entries);
  FUZZ_CHECK(read_whole_file(definition_path) == parts[0]);
  FUZZ_CHECK(read_whole_file(map_path) == parts[1]);
  FUZZ_CHECK(read_whole_file(eep_path) == parts[2]);
  return 0;
}
