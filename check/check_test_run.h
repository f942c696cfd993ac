// A run of vemora-check inside a test: its exit code and what it printed,
// and the check of one row of an exit-code table.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "check/run_check.h"

namespace check_test {

struct check_run {
  int code = 0;
  std::string out;
  std::string err;
};

/// run_check with "vemora-check" and these arguments as its command line.
inline check_run run(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv = {"vemora-check"};
  for (const std::string& argument : arguments) {
    argv.push_back(argument.c_str());
  }
  std::ostringstream out;
  std::ostringstream err;
  check_run result;
  result.code = run_check(static_cast<int>(argv.size()), argv.data(), out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}

/// One row of an exit-code table.
struct exit_case {
  const char* what;
  std::vector<std::string> arguments;
  int code;
  const char* err;  ///< the whole of standard error, or nullptr: any text, not empty
};

/// Runs the row's arguments after leading ones and checks its exit code and
/// standard error; the run, for what a table checks besides.
inline check_run expect_exit(const exit_case& row, std::vector<std::string> leading = {}) {
  leading.insert(leading.end(), row.arguments.begin(), row.arguments.end());
  const check_run result = run(leading);
  EXPECT_EQ(result.code, row.code) << row.what;
  if (row.err != nullptr) {
    EXPECT_EQ(result.err, row.err) << row.what;
  } else {
    EXPECT_FALSE(result.err.empty()) << row.what;
  }
  return result;
}

}  // namespace check_test
