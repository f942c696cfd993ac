// `vemora-check lint MEMDEF [--keyword KEYWORD --map MAP]`: the findings of
// the lint library in the form asked for, and an exit code by the gravest
// finding against --fail-on, so that a CI step fails on them.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

struct lint_options {
  std::string definition;
  std::string keyword;  ///< empty: no map
  std::string map;      ///< empty: no map
  std::string image;    ///< --elf beside a listing; empty: none
  std::string format = "text";
  std::string fail_on = "error";
};

/// Adds the subcommand and its options to app.
CLI::App* add_lint_command(CLI::App& app, lint_options& options);

/// Runs a parsed lint: 1 when a finding is at or above --fail-on, else 0;
/// throws check_error for a usage (2) or input (3) error before any output.
int run_lint(const lint_options& options, std::ostream& out);
