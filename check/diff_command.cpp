#include "check/diff_command.h"

#include <fstream>
#include <iterator>

#include "check/command_support.h"
#include "check/run_check.h"
#include "compare/report_diff.h"

std::string read_input_text(const std::string& path) {
  require_file(path);
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) {
    throw check_error{check_exit_input, path + ": cannot be read"};
  }
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) {
    throw check_error{check_exit_input, path + ": cannot be read"};
  }
  return text;
}

report_model read_report_file(const std::string& path) {
  require_file(path);
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) {
    throw check_error{check_exit_input, path + ": cannot be read"};
  }
  report_model model;
  std::string error;
  const bool read = read_report_model(file, model, error);
  if (file.bad()) {
    throw check_error{check_exit_input, path + ": cannot be read"};
  }
  if (!read) {
    throw check_error{check_exit_input, path + ": " + error};
  }
  return model;
}

CLI::App* add_diff_command(CLI::App& app, diff_options& options) {
  CLI::App* command = app.add_subcommand(
      "diff", "What changed from one JSON report to another (delta = CURRENT - BASE)");
  command->add_option("BASE", options.base, "Report of the earlier build (report --json)")
      ->required();
  command->add_option("CURRENT", options.current, "Report of the build to compare")->required();
  command->add_option("--format", options.format, "Output form (default text)")
      ->check(CLI::IsMember({"text", "markdown", "json", "csv"}));
  command
      ->add_option("--top", options.top,
                   "Section rows listed (default 20) and symbol rows under each range "
                   "(default 10); N sets both. Markdown folds the other sections, JSON and CSV "
                   "list all")
      ->type_name("N")
      ->check(CLI::NonNegativeNumber);
  command
      ->add_option("--min-delta", options.min_delta,
                   "Leave out changed rows whose delta is below BYTES (text, Markdown)")
      ->type_name("BYTES")
      ->check(CLI::NonNegativeNumber);
  command->add_flag("--show-unchanged", options.show_unchanged,
                    "List unchanged rows too (text, Markdown)");
  command->add_flag("--show-dropped", options.show_dropped,
                    "List the sections dropped in both builds for the same reason too (every "
                    "format)");
  return command;
}

diff_view diff_view_of(const diff_options& options) {
  diff_view view;
  view.base_name = options.base;
  view.current_name = options.current;
  if (options.top) {
    view.top = *options.top;
    view.symbol_top = *options.top;
  }
  view.min_delta = options.min_delta;
  view.show_unchanged = options.show_unchanged;
  view.show_dropped = options.show_dropped;
  return view;
}

int run_diff(const diff_options& options, std::ostream& out) {
  const report_model base = read_report_file(options.base);
  const report_model current = read_report_file(options.current);
  const report_diff diff = compute_diff(base, current);
  const diff_view view = diff_view_of(options);
  if (options.format == "markdown") {
    write_diff_markdown(out, diff, view);
  } else if (options.format == "json") {
    write_diff_json(out, diff, "", options.show_dropped);
  } else if (options.format == "csv") {
    write_diff_csv(out, diff, options.show_dropped);
  } else {
    write_diff_text(out, diff, view);
  }
  out.flush();
  return check_exit_done;
}
