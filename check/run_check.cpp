#include "check/run_check.h"

#include <CLI/CLI.hpp>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/analysis.h"
#include "app/version_config.h"
#include "check/explain.h"
#include "check/file_digest.h"
#include "check/summary.h"
#include "formats/report_formats.h"
#include "memdef/definition_diagnostics.h"

namespace {
constexpr std::array<const char*, 5> k_keywords = {"Orm6", "Tev2", "Tev2_mem32_unlimited", "Orm8",
                                                   "Pux4"};

constexpr const char* k_exit_codes =
    "Exit codes:\n"
    "  0  done (also when no section falls into any range: all are then dropped)\n"
    "  1  a check failed (kept for the checking commands)\n"
    "  2  usage error: unknown option or subcommand, missing argument, unknown keyword\n"
    "  3  input error: a file missing or unreadable, a definition file without any range\n"
    "     line, an EEPROM source whose scan fails, an output file that cannot be written\n"
    "  4  internal error";

// A failure that ends the run with its exit code and one line on standard error.
struct check_error {
  int code;
  std::string message;
};

std::string version_text() {
  return std::to_string(VEMORA_VERSION_MAJOR) + "." + std::to_string(VEMORA_VERSION_MINOR) + "." +
         std::to_string(VEMORA_VERSION_PATCH);
}

std::string keyword_list() {
  std::string list;
  for (const char* keyword : k_keywords) {
    list += (list.empty() ? "" : ", ") + std::string(keyword);
  }
  return list;
}

struct input_options {
  std::string keyword;
  std::string definition;
  std::string map;
  std::string eeprom;  ///< empty: none
};

// The size and sha256 of an input, or the reason it cannot be used.
report_input examine_input(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    throw check_error{check_exit_input, path + ": no such file"};
  }
  if (std::filesystem::is_directory(status)) {
    throw check_error{check_exit_input, path + ": is a folder, not a file"};
  }
  const std::optional<file_digest> digest = digest_file(path);
  if (!digest) {
    throw check_error{check_exit_input, path + ": cannot be read"};
  }
  return {path, digest->bytes, digest->sha256};
}

struct checked_inputs {
  report_context context;
  definition_diagnosis diagnosis;
};

checked_inputs check_inputs(const input_options& inputs) {
  if (!is_known_keyword(inputs.keyword)) {
    throw check_error{check_exit_usage,
                      "unknown keyword \"" + inputs.keyword + "\" (known: " + keyword_list() + ")"};
  }
  checked_inputs checked;
  report_context& context = checked.context;
  context.tool_version = version_text();
  context.keyword = inputs.keyword;
  context.memory_definition = examine_input(inputs.definition);
  context.map = examine_input(inputs.map);
  if (!inputs.eeprom.empty()) {
    context.eeprom_source = examine_input(inputs.eeprom);
  }
  checked.diagnosis = diagnose_memory_def_file(inputs.definition);
  for (const definition_finding& finding : checked.diagnosis.findings) {
    const finding_rule rule = rule_of(finding.kind);
    context.diagnostics.push_back({std::string(rule.code),
                                   std::string(severity_name(rule.severity)), inputs.definition,
                                   finding.line, finding.column, finding.message});
  }
  return checked;
}

bool has_finding(const definition_diagnosis& diagnosis, definition_finding_kind kind) {
  for (const definition_finding& finding : diagnosis.findings) {
    if (finding.kind == kind) {
      return true;
    }
  }
  return false;
}

// The one analysis of a run; a failure becomes one line that names the file.
analysis_result analyse_inputs(const input_options& inputs, const checked_inputs& checked) {
  analysis_request request;
  request.type_keyword = inputs.keyword;
  request.definition_path = inputs.definition;
  request.map_path = inputs.map;
  request.eeprom_path = inputs.eeprom;
  request.collect_fates = true;
  analysis_result result = analyse(request);
  const analysis_failure& failure = result.failure();
  if (!failure.failed()) {
    return result;
  }
  if (failure.step == analysis_step::eep_report) {
    const bool opened = failure.messages.size() != 1 ||
                        failure.messages.front().find("Invalid eep file.") == std::string::npos;
    throw check_error{check_exit_input,
                      inputs.eeprom + (opened ? ": the scan ends before the line of "
                                                "_RuxEep_nTrippleDataFree"
                                              : ": cannot be opened")};
  }
  if (!checked.diagnosis.readable) {
    throw check_error{check_exit_input, inputs.definition + ": cannot be opened"};
  }
  if (has_finding(checked.diagnosis, definition_finding_kind::no_range_lines)) {
    throw check_error{check_exit_input, inputs.definition +
                                            ": holds no PROGRAM, MEMORY, EEPROM or RESERVED "
                                            "line, so it is no memory definition"};
  }
  throw check_error{check_exit_input, inputs.map + ": cannot be opened"};
}

// One output named on the command line: standard output for "-".
struct output_request {
  std::string path;
  std::function<void(std::ostream&)> write;
};

void refuse_input_as_output(const std::string& output, const report_context& context) {
  std::vector<const report_input*> inputs = {&context.memory_definition, &context.map};
  if (context.eeprom_source) {
    inputs.push_back(&*context.eeprom_source);
  }
  for (const report_input* input : inputs) {
    std::error_code error;
    if (std::filesystem::equivalent(output, input->path, error) && !error) {
      throw check_error{check_exit_input,
                        output + ": is an input of this run and is not overwritten"};
    }
  }
}

void write_output(const output_request& request, const report_context& context, std::ostream& out) {
  if (request.path == "-") {
    request.write(out);
    out.flush();
    return;
  }
  refuse_input_as_output(request.path, context);
  std::ofstream file(request.path, std::ios::binary | std::ios::trunc);
  if (!file) {
    throw check_error{check_exit_input, request.path + ": cannot be written"};
  }
  request.write(file);
  file.flush();
  if (!file) {
    throw check_error{check_exit_input, request.path + ": cannot be written"};
  }
}

void add_inputs(CLI::App& command, input_options& inputs, bool with_eeprom) {
  command.add_option("KEYWORD", inputs.keyword, "Map reader: " + keyword_list())->required();
  command.add_option("MEMDEF", inputs.definition, "Memory definition file")->required();
  command.add_option("MAP", inputs.map, "Linker map file")->required();
  if (with_eeprom) {
    command.add_option("EEPROM_SOURCE", inputs.eeprom, "EEPROM project source (EepPrj.src)");
  }
}

struct report_options {
  std::string json;
  std::string csv;
  std::string csv_ranges;
  std::string markdown;
};

int run_report(const input_options& inputs, const report_options& options,
               const std::vector<const CLI::Option*>& given, std::ostream& out) {
  const checked_inputs checked = check_inputs(inputs);
  const analysis_result result = analyse_inputs(inputs, checked);
  const report_context& context = checked.context;

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
    outputs.push_back(
        {options.markdown, [&](std::ostream& to) { write_markdown_report(to, result, context); }});
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
};

int run_explain(const input_options& inputs, const explain_options& options,
                const CLI::App& command, std::ostream& out) {
  const checked_inputs checked = check_inputs(inputs);
  const analysis_result result = analyse_inputs(inputs, checked);

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
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < result.memory.program_usage.size(); ++i) {
      ids.push_back(range_id(true, i));
    }
    for (std::size_t i = 0; i < result.memory.memory_usage.size(); ++i) {
      ids.push_back(range_id(false, i));
    }
    bool known = false;
    std::string list;
    for (const std::string& id : ids) {
      known = known || id == options.range;
      list += (list.empty() ? "" : ", ") + id;
    }
    if (!known) {
      throw check_error{check_exit_usage,
                        "--range: no range \"" + options.range + "\" in " + inputs.definition +
                            " (its ranges: " + (list.empty() ? "none" : list) + ")"};
    }
    filter.range = options.range;
  }
  const explain_format format = options.format == "json"  ? explain_format::json
                                : options.format == "csv" ? explain_format::csv
                                                          : explain_format::text;
  write_explanation(out, result.memory, filter, format);
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
          ->type_name("FILE")};
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
  explain_command->footer(k_exit_codes);

  CLI::App* schema_command = app.add_subcommand("schema", "The JSON Schema of the report");
  schema_command->footer(k_exit_codes);
  for (CLI::App* command : {report_command, explain_command, schema_command}) {
    command->set_version_flag("--version", "vemora-check " + version_text());
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
  out << report_schema();
  return check_exit_done;
}
}  // namespace

bool is_known_keyword(const std::string& keyword) {
  for (const char* known : k_keywords) {
    if (keyword == known) {
      return true;
    }
  }
  return false;
}

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
