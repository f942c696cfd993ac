#include "app/run_app.h"

#include <vector>

#include "app/platform.h"
#include "eep/run_eep_report.h"
#include "report/run_memory_report.h"

namespace {
struct banner_texts {
  std::string original_filename;
  std::string version;
  std::string legal_copyright;
};

struct input_check {
  const char* invalid_path;
  const char* not_found;
};

// Prints the failure message of a check; returns the exit code, or 0.
int resolve_or_report(std::string& resolved, const std::string& name,
                      const std::string& program_dir, const input_check& messages,
                      std::ostream& out) {
  const int result = check_input_path(resolved, name, program_dir);
  if (result == -1) {
    out << messages.invalid_path << std::endl;
    return exit_invalid_path;
  }
  if (result != 0) {
    out << messages.not_found << std::endl;
    return exit_not_found;
  }
  return exit_success;
}
}  // namespace

int check_input_path(std::string& resolved, const std::string& name,
                     const std::string& program_dir) {
  resolved.clear();
  if (platform::path_drive_number(name) >= 0) {
    if (!platform::path_exists(name)) {
      return -1;
    }
    resolved = name;
    return 0;
  }
  const std::string candidate = program_dir + name;
  if (!platform::path_exists(candidate)) {
    return -2;
  }
  resolved = candidate;
  return 0;
}

std::string program_dir_of(const std::string& argument0) {
  const std::size_t backslash = argument0.rfind('\\');
  if (backslash == std::string::npos) {
    return std::string();
  }
  return argument0.substr(0, backslash + 1);
}

std::string build_date() { return "Nov  2 2016"; }

void print_version_banner(const std::string& program_file, std::ostream& out) {
  platform::version_info info;
  if (!platform::read_version_info(program_file, info)) {
    return;
  }
  // The texts belong to this call: two runs on two threads print their own.
  banner_texts banner;
  banner.version = std::to_string(info.major) + "." + std::to_string(info.minor);
  banner.legal_copyright = info.legal_copyright;
  banner.original_filename = info.original_filename;
  out << banner.original_filename << " version " << banner.version << " from " << build_date()
      << std::endl;
  out << banner.legal_copyright << std::endl;
}

int run_app(int argc, const char* const* argv, std::ostream& out) {
  const std::string argument0 = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  print_version_banner(argument0, out);
  out << std::endl;
  const std::string program_dir = program_dir_of(argument0);

  if (argc != 4 && argc != 5) {
    out << "Vemora:\tError: Wrong number of input parameters." << std::endl;
    out << "Vemora:\tPlease provide the proper number of input filename parameters (include "
           "EepPrj.src if necessary)."
        << std::endl;
    return exit_wrong_arguments;
  }

  std::string definition_path;
  std::string map_path;
  int code = resolve_or_report(
      definition_path, argv[2], program_dir,
      {"Invalid path for input definition file", "Could not find input definition file"}, out);
  if (code != exit_success) {
    return code;
  }
  code =
      resolve_or_report(map_path, argv[3], program_dir,
                        {"Invalid path for input map file", "Could not find input map file"}, out);
  if (code != exit_success) {
    return code;
  }

  // The EEPROM source is looked at only after the memory report, but the
  // result file of that report must not replace it either.
  std::vector<std::string> other_inputs;
  if (argc == 5) {
    std::string eep_candidate;
    if (check_input_path(eep_candidate, argv[4], program_dir) == 0) {
      other_inputs.push_back(eep_candidate);
    }
  }
  if (!run_memory_report(map_path, definition_path, argv[1], out, other_inputs)) {
    return exit_memory_report_failed;
  }
  if (argc == 4) {
    return exit_success;
  }

  std::string eep_path;
  code =
      resolve_or_report(eep_path, argv[4], program_dir,
                        {"Invalid path for input eep file", "Could not find input eep file"}, out);
  if (code != exit_success) {
    return code;
  }
  return run_eep_report(eep_path, out) ? exit_success : exit_eep_report_failed;
}
