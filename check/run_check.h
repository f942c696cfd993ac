// The logic of `vemora-check`, kept out of main() so tests run it in-process:
// the command line (CLI11), the inputs checked and fingerprinted, one
// analysis, and the requested faces written, ending in one of the exit codes
// below. Inputs are named relative to the working directory.
#pragma once

#include <ostream>
#include <string>

enum check_exit_code : int {
  check_exit_done = 0,
  check_exit_check_failed = 1,  ///< kept for the checking commands
  check_exit_usage = 2,
  check_exit_input = 3,
  check_exit_internal = 4,
};

/// The map reader keywords, as `vemora` takes them.
bool is_known_keyword(const std::string& keyword);

/// Runs one command line; what it reports goes to out, errors to err.
int run_check(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
