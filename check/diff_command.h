// vemora-check diff: two JSON reports compared, written as text, Markdown,
// JSON or CSV. Also the reading of a report file that check and report
// --baseline share, so that every baseline is refused for the same reasons.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "compare/report_diff.h"
#include "compare/report_model.h"

struct diff_options {
  std::string base;
  std::string current;
  std::string format = "text";
  /// Section rows and symbol rows per range; none: 20 and 10.
  std::optional<std::size_t> top;
  double min_delta = 0;
  bool show_unchanged = false;
  bool show_dropped = false;
};

CLI::App* add_diff_command(CLI::App& app, diff_options& options);

/// What the options show: --top sets the section rows and the symbol rows of each range alike.
diff_view diff_view_of(const diff_options& options);

/// Always exit 0 when both reports are read: a diff reports, it does not judge.
int run_diff(const diff_options& options, std::ostream& out);

/// The whole file; a check_error (exit 3) naming it when it cannot be read.
std::string read_input_text(const std::string& path);

/// A report file as a model; a check_error (exit 3) naming the file and why.
report_model read_report_file(const std::string& path);
