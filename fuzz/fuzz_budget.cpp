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
/// 0, two groups of one search text, a dropped sum and an EEPROM.
report_model fixed_build() {
  report_model model;
  model.ranges = {{"program0", true, "boot", 0, 1024, 512, 512, 50.0},
                  {"memory0", false, "RAM", 0x100000, 0, 0, 0, std::nullopt},
                  {"memory1", false, std::nullopt, 0x200000, 256, 300, -44, 117.1875}};
  model.program = {1024, 512, 512, 50.0};
  model.memory = {256, 300.5, -44.5, 117.1875};
  model.groups = {{"text ", 400}, {"text ", 12}, {"rodata ", 0}};
  model.sections = {{".text", true, "program0", "", 400},
                    {".text", true, "program0", "", 112},
                    {".bss", true, "memory1", "", 300.5},
                    {".dbg", false, "", "debug_name", 64}};
  model.dropped = {{"debug_name", 1, 64}};
  model.eeprom = model_eeprom{100, 40, 60, 40.0};
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

void check_diff(const report_model& base, const report_model& current) {
  const report_diff diff = compute_diff(base, current);
  FUZZ_CHECK(diff.sections.size() >= std::max(base.sections.size(), current.sections.size()));
  FUZZ_CHECK(diff.sections.size() <= base.sections.size() + current.sections.size());
  for (std::size_t i = 1; i < diff.sections.size(); ++i) {
    FUZZ_CHECK(
        !(std::fabs(diff.sections[i].bytes.delta) > std::fabs(diff.sections[i - 1].bytes.delta)));
  }
  diff_view view;
  view.top = 2;
  std::ostringstream out;
  write_diff_text(out, diff, view);
  write_diff_markdown(out, diff, view);
  write_diff_csv(out, diff);
  std::ostringstream json;
  write_diff_json(json, diff);
  FUZZ_CHECK(nlohmann::json::parse(json.str())["sections"].size() == diff.sections.size());
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
