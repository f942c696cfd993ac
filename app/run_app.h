// The entry point's logic, kept out of main() so tests run it in-process:
// the banner, the argument check, the resolution of input names against the
// program's folder, the two reports, and the exit code.
#pragma once

#include <ostream>
#include <string>

enum exit_code : int {
  exit_success = 0,
  exit_invalid_path = -1,
  exit_not_found = -2,
  exit_memory_report_failed = -3,
  exit_eep_report_failed = -4,
  exit_wrong_arguments = -5,
};

/// Resolves a command-line name: 0 with resolved set, -1 for a drive name
/// under which nothing exists, -2 for any other name that does not exist
/// under program_dir. resolved stays empty on failure.
int check_input_path(std::string& resolved, const std::string& name,
                     const std::string& program_dir);

/// Argument 0 up to and including its last backslash, or empty.
std::string program_dir_of(const std::string& argument0);

/// The fixed build date shown in the banner.
std::string build_date();

/// Prints the two banner lines when the program's version values can be read.
void print_version_banner(const std::string& program_file, std::ostream& out);

int run_app(int argc, const char* const* argv, std::ostream& out);
