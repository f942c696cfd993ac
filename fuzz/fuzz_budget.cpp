// Fuzz target: arbitrary bytes as a budget file and as a baseline report,
// split at "\n@@@@\n" (budget first). Every input must end with a verdict
// or a refusal with a reason: never a crash, and never a verdict that
// disagrees with its rules. Whatever is read is also diffed and written in
// every format; the JSON written must parse.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "compare/budget.h"
#include "compare/report_diff.h"
#include "fuzz/fuzz_support.h"

namespace {
using namespace fuzz_support;

/// A small build for the budget to name: two labelled ranges, one of size
/// 0, two groups of one search text, dropped sums (a straddling section
/// among them), an EEPROM, load copies in program0, memory1 without a
/// footprint (as read from an older report), findings of the map, and the
/// symbols of an image in .text (one of them named only by its key).
report_model fixed_build() {
  report_model model;
  model.ranges = {
      {"program0", true, "boot", 0, 1024, 512, 512, 50.0, model_load_copies{1, 64}, 576},
      {"memory0", false, "RAM", 0x100000, 0, 0, 0, std::nullopt, model_load_copies{0, 0}, 0},
      {"memory1", false, std::nullopt, 0x200000, 256, 300, -44, 117.1875}};
  model.program = {1024, 512, 512, 50.0, model_load_copies{1, 64}, 576.0};
  model.memory = {256, 300.5, -44.5, 117.1875};
  model.groups = {{"text ", 400}, {"text ", 12}, {"rodata ", 0}};
  model.sections = {{".text", true, "program0", "", 400},
                    {".text", true, "program0", "", 112},
                    {".bss", true, "memory1", "", 300.5},
                    {".dbg", false, "", "debug_name", 64}};
  model.dropped = {{"debug_name", 1, 64}, {"straddles_range", 1, 8}};
  model.diagnostics = {{"VL110", "error", "an address or size wider than 32 bits"},
                       {"VL107", "warning", "a section dropped by a name rule inside a range"},
                       {"VL110", "error", "an address or size wider than 32 bits"},
                       {"VL005", "error", "of the definition"}};
  model.eeprom = model_eeprom{100, 40, 60, 40.0};
  model.has_symbols = true;
  model.symbols = {{"_vfprintf_r", "_vfprintf_r", "", false, 0, 0, 300, 300},
                   {"printf", "printf", "", false, 0, 300, 40, 40},
                   {"_ZN6logger5printEv", "logger::print()", "", false, 0, 340, 60, 60},
                   {"s_count", "", "main.c", true, 2, 0x200000, 4, 4}};
  return model;
}

void check_budget(std::string_view text, const report_model& current, const report_model* base) {
  budget the_budget;
  std::string error;
  if (!parse_budget(text, current, the_budget, error)) {
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(the_budget.rules.empty());
    return;
  }
  const budget_result result = evaluate_budget(the_budget, current, base);
  FUZZ_CHECK(result.rules.size() == the_budget.rules.size());
  std::size_t counts[4] = {0, 0, 0, 0};
  for (const rule_result& rule : result.rules) {
    const int verdict = static_cast<int>(rule.verdict);
    FUZZ_CHECK(verdict >= 0 && verdict < 4);
    ++counts[verdict];
    FUZZ_CHECK(!rule.message.empty());
    // A growth limit is never passed without a baseline.
    if (base == nullptr && rule.rule->limit.rfind("max_growth", 0) == 0) {
      FUZZ_CHECK(rule.verdict == rule_verdict::skipped);
    }
    // Nor a footprint limit on a target whose report gives none.
    if (rule.rule->limit.rfind("max_footprint", 0) == 0 && !rule.value) {
      FUZZ_CHECK(rule.verdict == rule_verdict::skipped);
    }
    // A symbol rule is never passed on a build without symbols, nor its growth (or the new
    // symbols) on a baseline without them; a figure of a symbol rule is a checked one.
    const bool of_symbols = rule.rule->kind == budget_target_kind::symbols ||
                            rule.rule->kind == budget_target_kind::new_symbols;
    const bool growth =
        rule.rule->limit != "max_bytes" || rule.rule->kind == budget_target_kind::new_symbols;
    if (of_symbols && (!current.has_symbols || (growth && base != nullptr && !base->has_symbols))) {
      FUZZ_CHECK(rule.verdict == rule_verdict::skipped);
    }
    if (of_symbols && rule.verdict == rule_verdict::skipped) {
      FUZZ_CHECK(!rule.value);
    }
    if (rule.rule->kind == budget_target_kind::new_symbols && base == nullptr) {
      FUZZ_CHECK(rule.verdict == rule_verdict::skipped);
    }
    // A finding the budget allows never fails; one it does not allow always does.
    if (rule.rule->kind == budget_target_kind::finding && rule.value && *rule.value > 0) {
      FUZZ_CHECK((rule.rule->limit_text == "allowed") == (rule.verdict == rule_verdict::pass));
    }
  }
  // What the file left unsaid fails safe: each error of the map has its rule,
  // and a straddling section without a "dropped" entry fails.
  for (const model_diagnostic& diagnostic : current.diagnostics) {
    if (diagnostic.severity != "error" || diagnostic.code.rfind("VL1", 0) != 0) {
      continue;
    }
    bool ruled = false;
    for (const budget_rule& rule : the_budget.rules) {
      ruled = ruled || rule.target == "findings." + diagnostic.code;
    }
    FUZZ_CHECK(ruled);
  }
  for (const model_dropped& dropped : current.dropped) {
    if (dropped.reason != "straddles_range" || dropped.sections == 0) {
      continue;
    }
    bool ruled = false;
    for (const budget_rule& rule : the_budget.rules) {
      ruled = ruled || rule.target == "dropped.straddles_range";
    }
    FUZZ_CHECK(ruled);
  }
  FUZZ_CHECK((result.verdict == rule_verdict::fail) == (counts[2] > 0));
  FUZZ_CHECK((result.verdict == rule_verdict::warn) == (counts[2] == 0 && counts[1] > 0));
  std::ostringstream out;
  write_budget_text(out, the_budget, result);
  write_budget_markdown(out, the_budget, result);
  write_budget_github(out, result);
  std::ostringstream json;
  write_budget_json(json, result);
  // Throws, and so aborts, on invalid JSON or invalid UTF-8.
  FUZZ_CHECK(nlohmann::json::parse(json.str())["rules"].size() == result.rules.size());
}

double symbol_bytes(const report_model& model) {
  double sum = 0;
  for (const model_symbol& symbol : model.symbols) {
    sum += static_cast<double>(symbol.bytes);
  }
  return sum;
}

/// Every symbol of both builds is in one row, its bytes in one file's sum, on its side.
void check_symbol_rows(const report_model& base, const report_model& current,
                       const symbol_changes& changes) {
  if (changes.sides != symbol_sides::both) {
    FUZZ_CHECK(changes.rows.empty());
    return;
  }
  FUZZ_CHECK(changes.rows.size() >= std::max(base.symbols.size(), current.symbols.size()));
  FUZZ_CHECK(changes.rows.size() <= base.symbols.size() + current.symbols.size());
  double rows_base = 0;
  double rows_current = 0;
  for (std::size_t i = 0; i < changes.rows.size(); ++i) {
    const symbol_diff& row = changes.rows[i];
    FUZZ_CHECK(row.in_base || row.in_current);
    FUZZ_CHECK((row.status == symbol_status::added) == !row.in_base);
    FUZZ_CHECK((row.status == symbol_status::removed) == !row.in_current);
    rows_base += row.bytes.base;
    rows_current += row.bytes.current;
    if (i > 0) {
      FUZZ_CHECK(!(std::fabs(row.bytes.delta) > std::fabs(changes.rows[i - 1].bytes.delta)));
    }
  }
  // Sums in another order are equal while every partial sum is exact.
  if (symbol_bytes(base) + symbol_bytes(current) > 1e15) {
    return;
  }
  FUZZ_CHECK(rows_base == symbol_bytes(base) && rows_current == symbol_bytes(current));
  double files_base = 0;
  double files_current = 0;
  for (const symbol_sum& file : changes.files) {
    files_base += file.bytes.base;
    files_current += file.bytes.current;
  }
  FUZZ_CHECK(files_base == rows_base && files_current == rows_current);
}

void check_diff(const report_model& base, const report_model& current) {
  const report_diff diff = compute_diff(base, current);
  FUZZ_CHECK(diff.sections.size() >= std::max(base.sections.size(), current.sections.size()));
  FUZZ_CHECK(diff.sections.size() <= base.sections.size() + current.sections.size());
  for (std::size_t i = 1; i < diff.sections.size(); ++i) {
    FUZZ_CHECK(
        !(std::fabs(diff.sections[i].bytes.delta) > std::fabs(diff.sections[i - 1].bytes.delta)));
  }
  std::size_t dropped_in_both = 0;
  for (const section_diff& row : diff.sections) {
    if (row.dropped_in_both()) {
      ++dropped_in_both;
      // Dropped both times, it counted nothing either time.
      FUZZ_CHECK(row.status == diff_status::unchanged && row.bytes.delta == 0);
    }
  }
  check_symbol_rows(base, current, diff.symbols);
  diff_view view;
  view.top = 2;
  view.symbol_top = 1;
  view.show_dropped = dropped_in_both % 2 == 1;
  std::ostringstream out;
  write_diff_text(out, diff, view);
  write_diff_markdown(out, diff, view);
  write_diff_csv(out, diff);
  write_diff_csv(out, diff, true);
  std::ostringstream json;
  write_diff_json(json, diff);
  FUZZ_CHECK(nlohmann::json::parse(json.str())["sections"].size() ==
             diff.sections.size() - dropped_in_both);
  std::ostringstream every;
  write_diff_json(every, diff, "", true);
  FUZZ_CHECK(nlohmann::json::parse(every.str())["sections"].size() == diff.sections.size());
  if (diff.symbols.sides == symbol_sides::both) {
    FUZZ_CHECK(nlohmann::json::parse(every.str())["symbols"]["rows"].size() ==
               diff.symbols.rows.size());
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view parts[3];
  split_run_inputs(input, parts);
  const report_model fixed = fixed_build();

  report_model base;
  std::string error;
  const bool read = read_report_model(parts[1], base, error);
  FUZZ_CHECK(read == error.empty());
  check_budget(parts[0], fixed, read ? &base : nullptr);
  if (read) {
    // The baseline read is a build of its own too: a budget may name its ranges.
    check_budget(parts[0], base, &fixed);
    check_diff(base, fixed);
    check_diff(fixed, base);
  }
  return 0;
}
