// A budget's rules against one build and its baseline, and the writers of the
// verdicts; the writers print what the evaluation holds.
#include <cmath>
#include <limits>
#include <utility>

#include "compare/budget.h"
#include "compare/compare_text.h"
#include "compare/report_diff.h"
#include "formats/format_text.h"

std::string_view rule_verdict_keyword(rule_verdict verdict) {
  switch (verdict) {
    case rule_verdict::pass:
      return "pass";
    case rule_verdict::warn:
      return "warn";
    case rule_verdict::fail:
      return "fail";
    case rule_verdict::skipped:
      return "skipped";
  }
  return "fail";
}

namespace {
/// What a target holds in one build.
struct target_values {
  bool present = false;
  double used = 0;
  std::optional<double> free;
  std::optional<double> used_pct;
  std::optional<double> footprint = std::nullopt;      ///< none where the report does not give it
  std::optional<double> footprint_pct = std::nullopt;  ///< of the range's size or the program total
};

std::optional<double> share_of(std::optional<double> part, double whole) {
  if (!part || whole <= 0) {
    return std::nullopt;
  }
  return *part * 100.0 / whole;
}

target_values values_of(const budget_rule& rule, const report_model& model, bool by_position) {
  target_values values;
  switch (rule.kind) {
    case budget_target_kind::range: {
      // The current build is resolved by position, a baseline by the range's id.
      const model_range* range = nullptr;
      if (by_position) {
        range = rule.index < model.ranges.size() ? &model.ranges[rule.index] : nullptr;
      } else {
        range = model.find_range(rule.target.substr(sizeof "ranges." - 1));
      }
      if (range != nullptr) {
        values = {true, static_cast<double>(range->used), static_cast<double>(range->free),
                  range->used_pct};
        if (range->footprint) {
          values.footprint = static_cast<double>(*range->footprint);
          values.footprint_pct = share_of(values.footprint, static_cast<double>(range->size));
        }
      }
      break;
    }
    case budget_target_kind::total: {
      const model_area& area = rule.index == 0 ? model.program : model.memory;
      values = {true, area.used, area.free, area.used_pct};
      values.footprint = area.footprint;
      values.footprint_pct = share_of(area.footprint, area.total);
      break;
    }
    case budget_target_kind::group: {
      const std::string search = rule.target.substr(sizeof "groups." - 1);
      if (by_position) {
        if (rule.index < model.groups.size()) {
          values = {true, static_cast<double>(model.groups[rule.index].bytes), std::nullopt,
                    std::nullopt};
        }
        break;
      }
      for (const model_group& group : model.groups) {
        if (group.search == search) {
          values = {true, static_cast<double>(group.bytes), std::nullopt, std::nullopt};
          break;
        }
      }
      break;
    }
    case budget_target_kind::eeprom:
      if (model.eeprom) {
        values = {true, static_cast<double>(model.eeprom->used),
                  static_cast<double>(model.eeprom->free), model.eeprom->used_pct};
      }
      break;
    case budget_target_kind::dropped:
    case budget_target_kind::finding:
    case budget_target_kind::symbols:
    case budget_target_kind::new_symbols:
      break;
  }
  return values;
}

std::string figure(const budget_rule& rule, double value) {
  return is_percentage_limit(rule.limit) ? compare_text::percent(value) + " %"
                                         : compare_text::amount(value) + " bytes";
}

std::string limit_figure(const budget_rule& rule) {
  return rule.limit_text + (is_percentage_limit(rule.limit) ? " %"
                            : rule.limit_text.find_first_not_of("0123456789") == std::string::npos
                                ? " bytes"
                                : "");
}

/// A maximum: over it fails, within the headroom of it warns.
rule_result against_maximum(const budget_rule& rule, double value, double warn_from,
                            const std::string& subject, const std::string& headroom) {
  rule_result result{&rule, value, rule_verdict::pass, ""};
  const std::string text = subject + " " + figure(rule, value);
  if (value > rule.limit_value) {
    result.verdict = rule_verdict::fail;
    result.message = text + ", over the limit of " + limit_figure(rule);
  } else if (value > warn_from) {
    result.verdict = rule_verdict::warn;
    result.message = text + ", within " + headroom + " of the limit of " + limit_figure(rule);
  } else {
    result.message = text + " (limit " + limit_figure(rule) + ")";
  }
  return result;
}

/// A growth limit from before to now; subject leads the message ("3 symbols", a symbol's name),
/// empty for a range, area, group or the EEPROM.
rule_result against_growth(const budget_rule& rule, double before, double now, double headroom,
                           const std::string& subject) {
  const std::string lead = subject.empty() ? "" : subject + " ";
  const double growth = now - before;
  if (rule.limit == "max_growth_bytes") {
    return against_maximum(rule, growth, rule.limit_value - rule.limit_value * headroom / 100.0,
                           lead + "grew by", compare_text::amount(headroom) + " %");
  }
  const std::string points = compare_text::amount(headroom) + " points";
  if (before == 0) {
    if (now == 0) {
      return against_maximum(rule, 0, rule.limit_value - headroom, lead + "grew by", points);
    }
    // No percentage of nothing: any growth from 0 is over every limit.
    return {&rule, std::nullopt, rule_verdict::fail,
            lead + "grew from 0 to " + compare_text::amount(now) + " bytes, over the limit of " +
                limit_figure(rule)};
  }
  return against_maximum(rule, growth * 100.0 / before, rule.limit_value - headroom,
                         lead + "grew by", points);
}

rule_result skipped(const budget_rule& rule, const std::string& why) {
  return {&rule, std::nullopt, rule_verdict::skipped, why};
}

rule_result evaluate_dropped(const budget_rule& rule, const report_model& current) {
  const std::string reason = rule.target.substr(sizeof "dropped." - 1);
  model_dropped sum{reason, 0, 0};
  for (const model_dropped& dropped : current.dropped) {
    if (dropped.reason == reason) {
      sum = dropped;
    }
  }
  rule_result result{&rule, static_cast<double>(sum.sections), rule_verdict::pass, ""};
  result.message = plural_text(sum.sections, "section", "sections") + " (" +
                   plural_text(sum.bytes, "byte", "bytes") + ") dropped as " + reason;
  if (rule.limit_text == "ignore") {
    result.message += ", ignored";
  } else if (sum.sections > 0) {
    result.verdict = rule.limit_text == "error" ? rule_verdict::fail : rule_verdict::warn;
  }
  return result;
}

/// The findings of the rule's code: its error findings, or the others for
/// a rule about a warned finding.
rule_result evaluate_finding(const budget_rule& rule, const report_model& current) {
  const bool errors = rule.errors;
  std::size_t count = 0;
  const std::string* first = nullptr;
  for (const model_diagnostic& diagnostic : current.diagnostics) {
    if (diagnostic.code == rule.code && (diagnostic.severity == "error") == errors) {
      first = count == 0 ? &diagnostic.message : first;
      ++count;
    }
  }
  rule_result result{&rule, static_cast<double>(count), rule_verdict::pass, ""};
  if (count == 0) {
    result.message = "no " + rule.code + " finding";
    return result;
  }
  result.message = *first;
  if (count > 1) {
    result.message += " (and " + std::to_string(count - 1) + " more)";
  }
  if (rule.limit_text == "allowed") {
    result.message += "; allowed";
  } else {
    result.verdict = errors ? rule_verdict::fail : rule_verdict::warn;
  }
  return result;
}

constexpr const char* k_no_symbols = "no symbols: the build was analysed without an image";
constexpr const char* k_no_base_symbols =
    "no symbols in the baseline (made without an image, or older than schema 1.3.0)";
constexpr const char* k_no_match = "no symbol matches";

/// The pairing of the two builds' symbols, made once for every rule that asks.
class symbol_pairing {
 public:
  symbol_pairing(const report_model* base, const report_model& current)
      : m_base(base), m_current(current) {}
  /// Only with a baseline.
  const symbol_changes& changes() {
    if (!m_changes) {
      m_changes = compare_symbols(*m_base, m_current);
    }
    return *m_changes;
  }

 private:
  const report_model* m_base;
  const report_model& m_current;
  std::optional<symbol_changes> m_changes;
};

std::string symbol_name(const std::string& display, const std::string& key) {
  return display.empty() ? key : display;
}

/// The symbol's name in a message, and of how many it is the worst.
std::string worst_of(const std::string& name, std::size_t count, const char* what) {
  return count == 1 ? name : name + " (" + what + " of " + std::to_string(count) + ")";
}

/// How many of the matching symbols are over the limit, when more than the one the message names.
void add_over(rule_result& result, std::size_t over, std::size_t count) {
  if (result.verdict == rule_verdict::fail && over > 1) {
    result.message += "; " + std::to_string(over) + " of " + std::to_string(count) + " over it";
  }
}

/// A growth rule's figure for one symbol, growth from 0 the largest of all.
double growth_rank(const budget_rule& rule, double before, double now) {
  if (rule.limit == "max_growth_bytes") {
    return now - before;
  }
  if (before == 0) {
    return now == 0 ? 0 : std::numeric_limits<double>::infinity();
  }
  return (now - before) * 100.0 / before;
}

/// The sum of the matching symbols' bytes, or the worst of them alone with "each".
rule_result evaluate_symbols(const budget_rule& rule, double headroom, const report_model& current,
                             const report_model* base, symbol_pairing& pairing) {
  if (!current.has_symbols) {
    return skipped(rule, k_no_symbols);
  }
  const auto matches = [&rule](const std::string& display, const std::string& key) {
    return rule.glob && (rule.glob->matches(display) || rule.glob->matches(key));
  };
  const std::string share = compare_text::amount(headroom) + " %";
  if (rule.limit == "max_bytes") {
    std::size_t count = 0;
    std::size_t over = 0;
    double sum = 0;
    const model_symbol* worst = nullptr;
    for (const model_symbol& symbol : current.symbols) {
      if (matches(symbol.display, symbol.key)) {
        ++count;
        sum += static_cast<double>(symbol.bytes);
        over += static_cast<double>(symbol.bytes) > rule.limit_value ? 1 : 0;
        worst = worst == nullptr || symbol.bytes > worst->bytes ? &symbol : worst;
      }
    }
    if (worst == nullptr) {
      return skipped(rule, k_no_match);
    }
    const double warn_from = rule.limit_value - rule.limit_value * headroom / 100.0;
    if (!rule.each) {
      return against_maximum(rule, sum, warn_from,
                             plural_text(count, "symbol holds", "symbols hold"), share);
    }
    rule_result result = against_maximum(
        rule, static_cast<double>(worst->bytes), warn_from,
        worst_of(symbol_name(worst->display, worst->key), count, "largest") + " holds", share);
    add_over(result, over, count);
    return result;
  }
  // The growth limits.
  if (base == nullptr) {
    return skipped(rule, "a growth limit needs --baseline");
  }
  if (!base->has_symbols) {
    return skipped(rule, k_no_base_symbols);
  }
  if (!rule.each) {
    // The matching symbols of a build: how many, and their bytes.
    const auto matching = [&matches](const report_model& model) {
      std::pair<std::size_t, double> found{0, 0.0};
      for (const model_symbol& symbol : model.symbols) {
        if (matches(symbol.display, symbol.key)) {
          ++found.first;
          found.second += static_cast<double>(symbol.bytes);
        }
      }
      return found;
    };
    const auto [count_before, before] = matching(*base);
    const auto [count_now, now] = matching(current);
    if (count_before == 0 && count_now == 0) {
      return skipped(rule, k_no_match);
    }
    std::string subject = plural_text(count_now, "symbol", "symbols");
    if (count_before != count_now) {
      subject += " (" + std::to_string(count_before) + " in the baseline)";
    }
    return against_growth(rule, before, now, headroom, subject);
  }
  // Each paired row on its own; a removed symbol shrinks to 0 and never fails.
  std::size_t count = 0;
  std::size_t over = 0;
  const symbol_diff* worst = nullptr;
  double worst_rank = 0;
  for (const symbol_diff& row : pairing.changes().rows) {
    if (!matches(row.display, row.key)) {
      continue;
    }
    const double rank = growth_rank(rule, row.bytes.base, row.bytes.current);
    ++count;
    over += rank > rule.limit_value ? 1 : 0;
    if (worst == nullptr || rank > worst_rank) {
      worst = &row;
      worst_rank = rank;
    }
  }
  if (worst == nullptr) {
    return skipped(rule, k_no_match);
  }
  rule_result result =
      against_growth(rule, worst->bytes.base, worst->bytes.current, headroom,
                     worst_of(symbol_name(worst->display, worst->key), count, "worst"));
  add_over(result, over, count);
  return result;
}

/// The bytes of the symbols the baseline lacks.
rule_result evaluate_new_symbols(const budget_rule& rule, double headroom,
                                 const report_model& current, const report_model* base,
                                 symbol_pairing& pairing) {
  if (base == nullptr) {
    return skipped(rule, "a limit on new symbols needs --baseline");
  }
  if (!current.has_symbols) {
    return skipped(rule, k_no_symbols);
  }
  if (!base->has_symbols) {
    return skipped(rule, k_no_base_symbols);
  }
  const symbol_changes& changes = pairing.changes();
  std::size_t added = 0;
  for (const symbol_diff& row : changes.rows) {
    added += row.status == symbol_status::added ? 1 : 0;
  }
  return against_maximum(rule, static_cast<double>(changes.added_bytes),
                         rule.limit_value - rule.limit_value * headroom / 100.0,
                         plural_text(added, "new symbol holds", "new symbols hold"),
                         compare_text::amount(headroom) + " %");
}

rule_result evaluate_rule(const budget_rule& rule, double headroom, const report_model& current,
                          const report_model* base, symbol_pairing& pairing) {
  if (rule.kind == budget_target_kind::dropped) {
    return evaluate_dropped(rule, current);
  }
  if (rule.kind == budget_target_kind::symbols) {
    return evaluate_symbols(rule, headroom, current, base, pairing);
  }
  if (rule.kind == budget_target_kind::new_symbols) {
    return evaluate_new_symbols(rule, headroom, current, base, pairing);
  }
  if (rule.kind == budget_target_kind::finding) {
    return evaluate_finding(rule, current);
  }
  const target_values now = values_of(rule, current, true);
  if (!now.present) {
    return skipped(rule, rule.kind == budget_target_kind::eeprom ? "no EEPROM source was read"
                                                                 : "not in this build");
  }
  const std::string points = compare_text::amount(headroom) + " points";
  const std::string share = compare_text::amount(headroom) + " %";
  const double byte_margin = rule.limit_value * headroom / 100.0;
  if (rule.limit == "max_used_pct") {
    if (!now.used_pct) {
      return skipped(rule, "no percentage: the size is 0");
    }
    return against_maximum(rule, *now.used_pct, rule.limit_value - headroom, "used", points);
  }
  if (rule.limit == "max_footprint_bytes" || rule.limit == "max_footprint_pct") {
    // A report older than schema 1.2.0 does not say what its load copies are.
    if (!now.footprint) {
      return skipped(rule, "no footprint: the report is older than schema 1.2.0");
    }
    if (rule.limit == "max_footprint_bytes") {
      return against_maximum(rule, *now.footprint, rule.limit_value - byte_margin, "footprint",
                             share);
    }
    if (!now.footprint_pct) {
      return skipped(rule, "no percentage: the size is 0");
    }
    return against_maximum(rule, *now.footprint_pct, rule.limit_value - headroom, "footprint",
                           points);
  }
  if (rule.limit == "max_used_bytes" || rule.limit == "max_bytes") {
    return against_maximum(rule, now.used, rule.limit_value - byte_margin, "used", share);
  }
  if (rule.limit == "min_free_bytes") {
    if (!now.free) {
      return skipped(rule, "no free size");
    }
    rule_result result{&rule, *now.free, rule_verdict::pass, ""};
    const std::string text = "free " + figure(rule, *now.free);
    if (*now.free < rule.limit_value) {
      result.verdict = rule_verdict::fail;
      result.message = text + ", under the minimum of " + limit_figure(rule);
    } else if (*now.free < rule.limit_value + byte_margin) {
      result.verdict = rule_verdict::warn;
      result.message = text + ", within " + share + " of the minimum of " + limit_figure(rule);
    } else {
      result.message = text + " (minimum " + limit_figure(rule) + ")";
    }
    return result;
  }
  // The growth limits.
  if (base == nullptr) {
    return skipped(rule, "a growth limit needs --baseline");
  }
  const target_values before = values_of(rule, *base, false);
  if (!before.present) {
    return skipped(rule, "not in the baseline");
  }
  return against_growth(rule, before.used, now.used, headroom, "");
}
}  // namespace

budget_result evaluate_budget(const budget& the_budget, const report_model& current,
                              const report_model* base) {
  budget_result result;
  symbol_pairing pairing(base, current);
  for (const budget_rule& rule : the_budget.rules) {
    result.rules.push_back(
        evaluate_rule(rule, the_budget.warn_headroom_pct, current, base, pairing));
    ++result.counts[static_cast<int>(result.rules.back().verdict)];
  }
  result.verdict = result.counts[static_cast<int>(rule_verdict::fail)] > 0   ? rule_verdict::fail
                   : result.counts[static_cast<int>(rule_verdict::warn)] > 0 ? rule_verdict::warn
                                                                             : rule_verdict::pass;
  return result;
}

namespace {
std::string summary_line(const budget_result& result) {
  return "vemora-check check: " + std::string(rule_verdict_keyword(result.verdict)) + " (" +
         plural_text(result.rules.size(), "rule", "rules") + ": " +
         std::to_string(result.counts[0]) + " pass, " + std::to_string(result.counts[1]) +
         " warn, " + std::to_string(result.counts[2]) + " fail, " +
         std::to_string(result.counts[3]) + " skipped)";
}

std::string value_cell(const rule_result& rule) {
  if (!rule.value) {
    return "-";
  }
  if (rule.rule->kind == budget_target_kind::dropped ||
      rule.rule->kind == budget_target_kind::finding) {
    return compare_text::amount(*rule.value);
  }
  return is_percentage_limit(rule.rule->limit) ? compare_text::percent(rule.value)
                                               : compare_text::amount(*rule.value);
}

using cell_of = std::string (*)(std::string_view);

compare_text::table rules_table(const budget_result& result, cell_of cell) {
  compare_text::table rows{
      {"Verdict", "Target", "Limit", "Allowed", "Value", "Message"}, "lllrrl", {}};
  for (const rule_result& rule : result.rules) {
    rows.rows.push_back({std::string(rule_verdict_keyword(rule.verdict)), cell(rule.rule->target),
                         rule.rule->limit, cell(rule.rule->limit_text), value_cell(rule),
                         cell(rule.message)});
  }
  return rows;
}

/// One line per key of the file: what it names and its limits.
std::vector<std::string> applied_lines(const budget& the_budget) {
  std::vector<std::string> lines;
  lines.push_back("warn_headroom_pct " + compare_text::amount(the_budget.warn_headroom_pct));
  std::string key;
  for (const budget_rule& rule : the_budget.rules) {
    if (rule.key != key || lines.size() == 1) {
      key = rule.key;
      // A symbol rule's target is its key, marked "(each)" when it holds for each symbol.
      const bool named = rule.key == rule.target || rule.kind == budget_target_kind::symbols;
      lines.push_back((named ? rule.target : rule.key + " (" + rule.target + ")") + ": ");
    } else {
      lines.back() += ", ";
    }
    lines.back() += rule.limit + " " + rule.limit_text + (rule.implicit ? " (default)" : "");
  }
  if (!the_budget.allow.empty()) {
    std::string line = "allow";
    for (const std::string& code : the_budget.allow) {
      line += " " + code;
    }
    lines.push_back(line);
  }
  return lines;
}

std::string as_is(std::string_view text) { return compare_text::terminal_text(text); }

/// The data of a workflow command, as a terminal shows it and GitHub reads it.
std::string github_data(std::string_view text) {
  return github_message(compare_text::terminal_text(text));
}
}  // namespace

void write_budget_text(std::ostream& out, const budget& the_budget, const budget_result& result) {
  out << summary_line(result) << "\n\n";
  if (result.rules.empty()) {
    out << "The budget sets no limit.\n";
  } else {
    compare_text::write_text_table(out, rules_table(result, as_is));
  }
  out << "\nBudget as applied:\n";
  for (const std::string& line : applied_lines(the_budget)) {
    out << "  " << as_is(line) << '\n';
  }
}

void write_budget_markdown(std::ostream& out, const budget& the_budget,
                           const budget_result& result) {
  out << "<!-- vemora-check check -->\n";
  out << "### " << markdown_cell(summary_line(result)) << "\n\n";
  if (result.rules.empty()) {
    out << "The budget sets no limit.\n";
  } else {
    compare_text::write_markdown_table(out, rules_table(result, markdown_cell));
  }
  out << "\n<details><summary>Budget as applied</summary>\n\n";
  for (const std::string& line : applied_lines(the_budget)) {
    out << "- " << markdown_cell(line) << '\n';
  }
  out << "\n</details>\n";
}

void write_budget_json(std::ostream& out, const budget_result& result) {
  out << "{\n";
  out << "  \"schema\": \"vemora-check\",\n";
  out << "  \"schema_version\": " << json_string(k_check_schema_version) << ",\n";
  out << "  \"verdict\": " << json_string(rule_verdict_keyword(result.verdict)) << ",\n";
  out << "  \"rules\": [";
  for (std::size_t i = 0; i < result.rules.size(); ++i) {
    const rule_result& rule = result.rules[i];
    const bool level = rule.rule->kind == budget_target_kind::dropped ||
                       rule.rule->kind == budget_target_kind::finding;
    out << (i == 0 ? "\n" : ",\n") << "    {\"target\": " << json_string(rule.rule->target)
        << ", \"limit\": " << json_string(rule.rule->limit) << ", \"limit_value\": "
        << (level ? json_string(rule.rule->limit_text)
                  : compare_text::json_amount(rule.rule->limit_value))
        << ", \"value\": " << (rule.value ? compare_text::json_amount(*rule.value) : "null")
        << ", \"verdict\": " << json_string(rule_verdict_keyword(rule.verdict))
        << ", \"message\": " << json_string(rule.message) << "}";
  }
  out << (result.rules.empty() ? "]\n" : "\n  ]\n") << "}\n";
}

void write_budget_github(std::ostream& out, const budget_result& result) {
  for (const rule_result& rule : result.rules) {
    if (rule.verdict == rule_verdict::pass) {
      continue;
    }
    // A skipped rule shows as a notice: it is no silent pass.
    out << (rule.verdict == rule_verdict::fail   ? "::error"
            : rule.verdict == rule_verdict::warn ? "::warning"
                                                 : "::notice")
        << " title=vemora-check budget::"
        << github_data(rule.rule->target + " " + rule.rule->limit + ": " + rule.message) << '\n';
  }
  out << summary_line(result) << '\n';
}
