// A memory budget: limits per range, area, SEARCH group, EEPROM and symbols, what to
// make of dropped sections and which map findings to allow, read from a JSON
// file and checked against one build (and a baseline for the growth limits).
// Parsing refuses anything it does not understand, naming the key path, so a
// typo never switches a limit off; what the file leaves unsaid fails safe.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "compare/glob_pattern.h"
#include "compare/report_model.h"

enum class budget_target_kind {
  range,
  total,
  group,
  eeprom,
  dropped,
  finding,
  symbols,     ///< the symbols a pattern matches, summed or each alone
  new_symbols  ///< the symbols the baseline lacks
};

/// One limit of the budget, its target resolved against the current build.
struct budget_rule {
  budget_target_kind kind = budget_target_kind::range;
  std::string key;     ///< the key path as the file writes it: "ranges.local RAM"
  std::string target;  ///< "ranges.program1", "totals.program", "groups.text ", "eeprom",
                       ///< "dropped.zero_size", "findings.VL110", "symbols.*printf*",
                       ///< "symbols.*printf* (each)", "new_symbols"
  /// "max_used_pct" ...; "level" for dropped sections and a warned finding,
  /// "allow" for an error finding of the map
  std::string limit;
  double limit_value = 0;
  std::string limit_text;  ///< as written: "16K", "90", "error"; "allowed" or "not allowed"
  std::size_t index = 0;   ///< the range or group in the model's lists
  std::string code;        ///< the finding's code, for a finding rule
  bool errors = false;     ///< a finding rule about the code's error findings
  bool implicit = false;   ///< a default of the gate that the file did not override
  std::string pattern;     ///< a symbol rule's pattern as written
  /// A symbol rule's pattern as parse_budget read it, matched against display name and key.
  std::optional<glob_pattern> glob = std::nullopt;
  bool each = false;  ///< a symbol rule's limit holds for each matching symbol alone
};

/// The finding of a section dropped by a name rule whose bytes lie inside a range.
constexpr const char* k_name_rule_finding = "VL107";

struct budget {
  double warn_headroom_pct = 0;
  /// The file's rules in its order, then the defaults it did not override:
  /// straddles_range as an error, VL107 as a warning, each error finding of
  /// the map as a failure unless its code is allowed.
  std::vector<budget_rule> rules;
  std::vector<std::string> allow;  ///< the map's finding codes the file allows, in its order
};

/// Whether a limit is a percentage ("max_used_pct", "max_growth_pct", "max_footprint_pct").
bool is_percentage_limit(std::string_view limit);

/// Reads a budget file's text and resolves its targets against the current
/// build, adding the defaults the file leaves in force from the build's
/// dropped sums and diagnostics. False with the reason in error, led by the
/// key path ("ranges.program7: no such range (ranges: ...)"), for anything
/// it does not take.
bool parse_budget(std::string_view text, const report_model& current, budget& out,
                  std::string& error);

/// "16K" -> 16384, "1M" -> 1048576, "512" -> 512; none for anything else.
std::optional<std::uint64_t> parse_size_text(std::string_view text);

enum class rule_verdict { pass, warn, fail, skipped };

/// "pass", "warn", "fail", "skipped".
std::string_view rule_verdict_keyword(rule_verdict verdict);

struct rule_result {
  const budget_rule* rule = nullptr;
  std::optional<double> value;  ///< none when skipped or without a figure (growth from 0)
  rule_verdict verdict = rule_verdict::skipped;
  std::string message;
};

struct budget_result {
  std::vector<rule_result> rules;
  rule_verdict verdict = rule_verdict::pass;  ///< fail, else warn, else pass
  std::size_t counts[4] = {0, 0, 0, 0};       ///< per rule_verdict
};

/// Every rule against the current build; growth rules against base, and
/// skipped without one. The result points into the_budget.
budget_result evaluate_budget(const budget& the_budget, const report_model& current,
                              const report_model* base);

constexpr const char* k_check_schema_version = "1.0.0";

/// The table of every rule, then the budget as applied.
void write_budget_text(std::ostream& out, const budget& the_budget, const budget_result& result);
void write_budget_markdown(std::ostream& out, const budget& the_budget,
                           const budget_result& result);
/// The "vemora-check" document.
void write_budget_json(std::ostream& out, const budget_result& result);
/// ::error, ::warning and ::notice workflow commands for failed, warned and skipped
/// rules, then a summary line.
void write_budget_github(std::ostream& out, const budget_result& result);
