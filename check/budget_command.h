// vemora-check check: a budget file checked against the analysis of a build
// (and a baseline report for the growth limits), every rule with its verdict,
// and exit 1 when one failed. Registered by run_check in a few lines.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "check/command_support.h"

struct budget_options {
  input_options inputs;
  std::string budget;
  std::string baseline;  ///< empty: none
  std::string format = "text";
  std::string json;  ///< empty: no JSON file
  std::string html;  ///< empty: no HTML page
  bool warnings_as_errors = false;
};

CLI::App* add_budget_command(CLI::App& app, budget_options& options);

/// 0 when no rule failed (nor warned under --warnings-as-errors), else 1.
int run_budget_check(const budget_options& options, std::ostream& out);
