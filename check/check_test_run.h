// A run of vemora-check inside a test: its exit code and what it printed.
#pragma once

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

}  // namespace check_test
