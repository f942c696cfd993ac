#include "check/budget_command.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "check/diff_command.h"
#include "check/run_check.h"
#include "compare/budget.h"
#include "formats/html_report.h"
#include "formats/lint_formats.h"
#include "lint/lint.h"

CLI::App* add_budget_command(CLI::App& app, budget_options& options) {
  CLI::App* command = app.add_subcommand(
      "check", "A budget file checked against the analysis; exit 1 when a limit is breached");
  add_inputs(*command, options.inputs, true);
  command->add_option("--budget", options.budget, "Budget file (JSON)")
      ->type_name("FILE")
      ->required();
  command
      ->add_option("--baseline", options.baseline,
                   "Report of the earlier build (report --json), for the growth limits")
      ->type_name("BASE.json");
  command->add_option("--format", options.format, "Output form (default text)")
      ->check(CLI::IsMember({"text", "markdown", "json", "github"}));
  command->add_flag("--warnings-as-errors", options.warnings_as_errors,
                    "Exit 1 when a rule warns, too");
  command
      ->add_option("--json", options.json, "Also the verdicts as JSON (FILE - is standard output)")
      ->type_name("FILE");
  command
      ->add_option("--html", options.html,
                   "Also the HTML page of the build with the verdicts (FILE - is standard output)")
      ->type_name("FILE");
  return command;
}

namespace {
std::string figure_text(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    return "";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.10g", *value);
  return text;
}

html_page_options page_of_verdicts(const budget_result& verdicts) {
  html_page_options page;
  page.status = std::string(rule_verdict_keyword(verdicts.verdict));
  for (const rule_result& rule : verdicts.rules) {
    page.rules.push_back({rule.rule->target, rule.rule->limit, rule.rule->limit_text,
                          figure_text(rule.value), std::string(rule_verdict_keyword(rule.verdict)),
                          rule.message});
  }
  return page;
}
}  // namespace

int run_budget_check(const budget_options& options, std::ostream& out) {
  // Two documents on one stream would read as neither.
  if (options.json == "-" && options.html == "-") {
    throw check_error{check_exit_usage, "--json - and --html - both ask for standard output"};
  }
  const checked_inputs checked = check_inputs(options.inputs);
  // The budget and the baseline are refused before the analysis is paid for.
  const std::string budget_text = read_input_text(options.budget);
  std::optional<report_model> base;
  if (!options.baseline.empty()) {
    base = read_report_file(options.baseline);
  }
  const analysis_result result = analyse_inputs(options.inputs, checked);
  // The gate fails on what the lint finds in the map, so it lints as report does.
  const std::vector<lint_finding> findings =
      lint_findings(checked.diagnosis, options.inputs.definition,
                    {&result.memory, options.inputs.keyword, options.inputs.map});
  report_model current = model_of_analysis(result);
  current.diagnostics = model_diagnostics_of(findings);

  budget the_budget;
  std::string error;
  if (!parse_budget(budget_text, current, the_budget, error)) {
    throw check_error{check_exit_input, options.budget + ": " + error};
  }
  const budget_result verdicts = evaluate_budget(the_budget, current, base ? &*base : nullptr);

  if (!options.json.empty()) {
    refuse_overwriting_input(options.json, {&options.budget, &options.baseline});
    write_output({options.json, [&](std::ostream& to) { write_budget_json(to, verdicts); }},
                 checked.context, out);
  }
  if (!options.html.empty()) {
    refuse_overwriting_input(options.html, {&options.budget, &options.baseline});
    report_context context = checked.context;
    context.diagnostics = report_diagnostics_of(findings);
    const html_page_options page = page_of_verdicts(verdicts);
    write_output(
        {options.html, [&](std::ostream& to) { write_html_report(to, result, context, page); }},
        checked.context, out);
  }
  if (options.json != "-" && options.html != "-") {
    if (options.format == "json") {
      write_budget_json(out, verdicts);
    } else if (options.format == "markdown") {
      write_budget_markdown(out, the_budget, verdicts);
    } else if (options.format == "github") {
      write_budget_github(out, verdicts);
    } else {
      write_budget_text(out, the_budget, verdicts);
    }
    out.flush();
  }
  const bool failed = verdicts.verdict == rule_verdict::fail ||
                      (options.warnings_as_errors && verdicts.verdict == rule_verdict::warn);
  return failed ? check_exit_check_failed : check_exit_done;
}
