#include "check/budget_command.h"

#include <filesystem>

#include "check/diff_command.h"
#include "check/run_check.h"
#include "compare/budget.h"

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
  return command;
}

namespace {
/// The verdicts' file must not replace the budget or the baseline it was made from.
void refuse_overwrite(const budget_options& options) {
  for (const std::string* input : {&options.budget, &options.baseline}) {
    std::error_code error;
    if (!input->empty() && options.json != "-" &&
        std::filesystem::equivalent(options.json, *input, error) && !error) {
      throw check_error{check_exit_input,
                        options.json + ": is an input of this run and is not overwritten"};
    }
  }
}
}  // namespace

int run_budget_check(const budget_options& options, std::ostream& out) {
  const checked_inputs checked = check_inputs(options.inputs);
  // The budget and the baseline are refused before the analysis is paid for.
  const std::string budget_text = read_input_text(options.budget);
  std::optional<report_model> base;
  if (!options.baseline.empty()) {
    base = read_report_file(options.baseline);
  }
  const analysis_result result = analyse_inputs(options.inputs, checked);
  const report_model current = model_of_analysis(result);

  budget the_budget;
  std::string error;
  if (!parse_budget(budget_text, current, the_budget, error)) {
    throw check_error{check_exit_input, options.budget + ": " + error};
  }
  const budget_result verdicts = evaluate_budget(the_budget, current, base ? &*base : nullptr);

  if (!options.json.empty()) {
    refuse_overwrite(options);
    write_output({options.json, [&](std::ostream& to) { write_budget_json(to, verdicts); }},
                 checked.context, out);
  }
  if (options.json != "-") {
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
