#include "check/run_check.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <sstream>
#include <vector>

#include "analysis/analysis.h"
#include "check/budget_command.h"
#include "check/command_support.h"
#include "check/diff_command.h"
#include "check/explain.h"
#include "check/lint_command.h"
#include "check/summary.h"
#include "check/symbols_command.h"
#include "compare/report_diff.h"
#include "formats/html_report.h"
#include "formats/lint_formats.h"
#include "formats/report_formats.h"
#include "formats/symbol_formats.h"

namespace {
struct report_options {
  std::string json;
  std::string csv;
  std::string csv_ranges;
  std::string markdown;
  std::string html;
  std::string csv_symbols;
  std::string baseline;
};

int run_report(const input_options& inputs, const report_options& options,
               const std::vector<const CLI::Option*>& given, std::ostream& out) {
  if (given[5]->count() > 0) {
    require_image(inputs, "--csv-symbols");
  }
  const checked_inputs checked = check_inputs(inputs);
  if (!options.baseline.empty() && given[0]->count() == 0 && given[3]->count() == 0 &&
      given[4]->count() == 0) {
    throw check_error{check_exit_usage,
                      "--baseline adds the diff to --json, --markdown or --html: give one"};
  }
  std::optional<report_model> base;
  if (!options.baseline.empty()) {
    base = read_report_file(options.baseline);
  }
  const analysis_result result = analyse_inputs(inputs, checked);
  if (given[5]->count() > 0) {
    require_own_image(result.memory, inputs);
  }
  report_context context = checked.context;
  // The map's findings too, made where lint makes them.
  context.diagnostics = report_diagnostics_of(lint_findings(
      checked.diagnosis, inputs.definition, {&result.memory, inputs.keyword, inputs.map}));
  std::optional<report_diff> diff;
  if (base) {
    diff = compute_diff(*base, model_of_analysis(result));
    std::ostringstream text;
    write_diff_json(text, *diff, "  ");
    context.diff_json = text.str();
  }

  std::vector<output_request> outputs;
  if (given[0]->count() > 0) {
    outputs.push_back(
        {options.json, [&](std::ostream& to) { write_json_report(to, result, context); }});
  }
  if (given[1]->count() > 0) {
    outputs.push_back({options.csv, [&](std::ostream& to) { write_sections_csv(to, result); }});
  }
  if (given[2]->count() > 0) {
    outputs.push_back(
        {options.csv_ranges, [&](std::ostream& to) { write_ranges_csv(to, result); }});
  }
  if (given[3]->count() > 0) {
    outputs.push_back({options.markdown, [&](std::ostream& to) {
                         write_markdown_report(to, result, context);
                         if (diff) {
                           to << '\n';
                           write_diff_markdown(to, *diff, {options.baseline, context.map.path});
                         }
                       }});
  }
  if (given[4]->count() > 0) {
    outputs.push_back(
        {options.html, [&](std::ostream& to) { write_html_report(to, result, context); }});
  }
  if (given[5]->count() > 0) {
    outputs.push_back({options.csv_symbols, [&](std::ostream& to) {
                         write_symbols_csv(to, result.memory, select_symbols(result.memory, {}));
                       }});
  }
  if (outputs.empty()) {
    write_summary(out, result, context);
    return check_exit_done;
  }
  for (const output_request& request : outputs) {
    write_output(request, context, out);
  }
  return check_exit_done;
}

struct explain_options {
  std::string format = "text";
  std::string fate;
  std::string reason;
  std::string section;
  std::string range;
  bool symbols = false;
};

int run_explain(const input_options& inputs, const explain_options& options,
                const CLI::App& command, std::ostream& out) {
  if (options.symbols) {
    if (options.format != "text") {
      throw check_error{check_exit_usage,
                        "--symbols is for the text form; for JSON or CSV use vemora-check "
                        "symbols --format " +
                            options.format};
    }
    require_image(inputs, "--symbols");
  }
  const checked_inputs checked = check_inputs(inputs);
  const analysis_result result = analyse_inputs(inputs, checked);
  if (options.symbols) {
    require_own_image(result.memory, inputs);
  }

  explain_filter filter;
  if (command.count("--fate") > 0) {
    filter.counted = options.fate == "counted";
  }
  if (command.count("--reason") > 0) {
    filter.reason = reason_of_keyword(options.reason);
  }
  if (command.count("--section") > 0) {
    filter.section = options.section;
  }
  if (command.count("--range") > 0) {
    require_range(result.memory, options.range, inputs.definition, "--range");
    filter.range = options.range;
  }
  const explain_format format = options.format == "json"  ? explain_format::json
                                : options.format == "csv" ? explain_format::csv
                                                          : explain_format::text;
  write_explanation(out, result.memory, filter, format, options.symbols);
  return check_exit_done;
}

int run_parsed(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app("vemora-check: the memory analysis of a linked image, for machines and people",
               "vemora-check");
  app.footer(k_exit_codes);
  app.set_version_flag("--version", "vemora-check " + version_text());
  app.require_subcommand(1);
  // The same command line on every system: "/name" is a file name, not an option.
  app.allow_windows_style_options(false);

  input_options inputs;
  report_options report;
  CLI::App* report_command = app.add_subcommand(
      "report",
      "The analysis in the formats asked for (FILE - is standard output); without "
      "any, a short summary");
  add_inputs(*report_command, inputs, true);
  const std::vector<const CLI::Option*> given = {
      report_command->add_option("--json", report.json, "JSON report")->type_name("FILE"),
      report_command->add_option("--csv", report.csv, "CSV, one row per section")
          ->type_name("FILE"),
      report_command->add_option("--csv-ranges", report.csv_ranges, "CSV, one row per range")
          ->type_name("FILE"),
      report_command->add_option("--markdown", report.markdown, "Markdown summary")
          ->type_name("FILE"),
      report_command->add_option("--html", report.html, "HTML page: fill bars, treemap, tables")
          ->type_name("FILE"),
      report_command
          ->add_option("--csv-symbols", report.csv_symbols,
                       "CSV, one row per symbol of the image (as symbols --format csv)")
          ->type_name("FILE")};
  report_command
      ->add_option("--baseline", report.baseline,
                   "Report of an earlier build: the change since it goes into --json, "
                   "--markdown and --html")
      ->type_name("BASE.json");
  report_command->footer(k_exit_codes);

  explain_options explain;
  CLI::App* explain_command = app.add_subcommand(
      "explain", "Every recognised section: where it was counted or why it was dropped");
  add_inputs(*explain_command, inputs, false);
  explain_command->add_option("--format", explain.format, "Output form (default text)")
      ->check(CLI::IsMember({"text", "json", "csv"}));
  explain_command->add_option("--fate", explain.fate, "Only counted or only dropped sections")
      ->check(CLI::IsMember({"counted", "dropped"}));
  explain_command->add_option("--reason", explain.reason, "Only sections dropped for REASON")
      ->type_name("REASON")
      ->check(CLI::IsMember(reason_keywords()));
  explain_command->add_option("--section", explain.section, "Only names holding TEXT")
      ->type_name("TEXT");
  explain_command
      ->add_option("--range", explain.range,
                   "Only sections counted in range ID (program0, memory1 ...)")
      ->type_name("ID");
  explain_command->add_flag(
      "--symbols", explain.symbols,
      "Under each counted section its symbols (bytes, name) and its unattributed bytes; needs "
      "an image (Elf, or --elf)");
  explain_command->footer(k_exit_codes);

  lint_options lint;
  CLI::App* lint_command = add_lint_command(app, lint);
  diff_options diff;
  CLI::App* diff_command = add_diff_command(app, diff);
  budget_options budget;
  CLI::App* budget_command = add_budget_command(app, budget);
  symbols_options symbols;
  CLI::App* symbols_command = add_symbols_command(app, inputs, symbols);

  CLI::App* schema_command = app.add_subcommand("schema", "The JSON Schema of the report");
  schema_command->footer(k_exit_codes);
  for (CLI::App* command : {report_command, explain_command, symbols_command, lint_command,
                            diff_command, budget_command, schema_command}) {
    command->set_version_flag("--version", "vemora-check " + version_text());
    command->footer(k_exit_codes);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error, out, err);
    return code == 0 ? check_exit_done : check_exit_usage;
  }

  if (report_command->parsed()) {
    return run_report(inputs, report, given, out);
  }
  if (explain_command->parsed()) {
    return run_explain(inputs, explain, *explain_command, out);
  }
  if (symbols_command->parsed()) {
    return run_symbols(inputs, symbols, *symbols_command, out);
  }
  if (lint_command->parsed()) {
    return run_lint(lint, out);
  }
  if (diff_command->parsed()) {
    return run_diff(diff, out);
  }
  if (budget_command->parsed()) {
    return run_budget_check(budget, out);
  }
  out << report_schema();
  return check_exit_done;
}
}  // namespace

int run_check(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  try {
    return run_parsed(argc, argv, out, err);
  } catch (const check_error& error) {
    err << "vemora-check: " << error.message << std::endl;
    return error.code;
  } catch (const std::exception& error) {
    err << "vemora-check: internal error: " << error.what() << std::endl;
    return check_exit_internal;
  } catch (...) {
    err << "vemora-check: internal error" << std::endl;
    return check_exit_internal;
  }
}
