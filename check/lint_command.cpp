#include "check/lint_command.h"

#include <optional>
#include <vector>

#include "check/command_support.h"
#include "check/run_check.h"
#include "formats/lint_formats.h"
#include "lint/lint.h"

namespace {
// The least grave severity that fails the run; none for "never".
std::optional<finding_severity> threshold_of(const std::string& fail_on) {
  if (fail_on == "never") {
    return std::nullopt;
  }
  return fail_on == "warning" ? finding_severity::warning : finding_severity::error;
}
}  // namespace

CLI::App* add_lint_command(CLI::App& app, lint_options& options) {
  CLI::App* command = app.add_subcommand(
      "lint",
      "The traps of a memory definition file (VL001-VL013) and, with --keyword and --map, of "
      "the map read by it (VL100-VL114)");
  command->add_option("MEMDEF", options.definition, "Memory definition file")->required();
  command->add_option("--keyword", options.keyword, "Map reader, for --map: " + keyword_list())
      ->type_name("KEYWORD");
  command->add_option("--map", options.map, "Linker map file to analyse as well")->type_name("MAP");
  command->add_option("--elf", options.image, "The linked ELF image of the listing, for --map")
      ->type_name("FILE");
  command->add_option("--format", options.format, "Output form (default text)")
      ->check(CLI::IsMember({"text", "json", "github"}));
  command
      ->add_option("--fail-on", options.fail_on,
                   "Exit 1 on a finding of this severity or graver (default error)")
      ->check(CLI::IsMember({"error", "warning", "never"}));
  command->footer(k_exit_codes);
  return command;
}

int run_lint(const lint_options& options, std::ostream& out) {
  const bool with_map = !options.map.empty() || !options.keyword.empty();
  if (with_map && options.map.empty()) {
    throw check_error{check_exit_usage, "--keyword needs --map"};
  }
  if (with_map && options.keyword.empty()) {
    throw check_error{check_exit_usage, "--map needs --keyword"};
  }
  if (with_map && !is_known_keyword(options.keyword)) {
    throw check_error{check_exit_usage, "unknown keyword \"" + options.keyword +
                                            "\" (known: " + keyword_list() + ")"};
  }
  if (!options.image.empty() && !with_map) {
    throw check_error{check_exit_usage, "--elf needs --keyword and --map"};
  }
  if (!options.image.empty() && options.keyword == k_image_keyword) {
    throw check_error{check_exit_usage, "--elf is for a listing's keyword: with " +
                                            std::string(k_image_keyword) + " the map is the image"};
  }
  require_file(options.definition);
  if (with_map) {
    require_file(options.map);
  }
  if (!options.image.empty()) {
    require_file(options.image);
  }
  const lint_run run = lint_inputs(
      options.definition, with_map ? std::optional<input_source>(options.map) : std::nullopt,
      options.keyword,
      options.image.empty() ? std::nullopt : std::optional<input_source>(options.image));
  if (run.unreadable == lint_unreadable::definition) {
    throw check_error{check_exit_input, options.definition + ": cannot be read"};
  }
  if (run.unreadable == lint_unreadable::image) {
    throw check_error{check_exit_input, options.image + ": " + run.image_error};
  }
  if (run.unreadable == lint_unreadable::map) {
    throw check_error{
        check_exit_input,
        options.map + ": " + (run.image_error.empty() ? "cannot be opened" : run.image_error)};
  }
  const std::vector<lint_finding>& findings = run.findings;

  if (options.format == "json") {
    write_lint_json(out, findings);
  } else if (options.format == "github") {
    write_lint_github(out, findings);
  } else {
    write_lint_text(out, findings);
  }
  out.flush();

  const std::optional<finding_severity> threshold = threshold_of(options.fail_on);
  for (const lint_finding& finding : findings) {
    if (threshold && at_least(finding.severity, *threshold)) {
      return check_exit_check_failed;
    }
  }
  return check_exit_done;
}
