// What every subcommand of vemora-check shares: the failure that ends a run
// with its exit code, the inputs checked and fingerprinted before the one
// analysis, and an output named on the command line written whole or not at
// all. Each subcommand lives in its own file on top of this one.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "formats/report_formats.h"
#include "memdef/definition_diagnostics.h"

/// A failure that ends the run with its exit code and one line on standard error.
struct check_error {
  int code;
  std::string message;
};

/// "2.9.0": the version the programs are built as.
std::string version_text();

/// The map reader keywords, comma-separated, for messages.
std::string keyword_list();

struct input_options {
  std::string keyword;
  std::string definition;
  std::string map;
  std::string eeprom;  ///< empty: none
  std::string image;   ///< --elf: the linked image beside a listing; empty: none
};

/// Throws check_error (exit 3) when nothing can be read at path: no such
/// file, or a folder.
void require_file(const std::string& path);

/// The size and sha256 of an input; throws check_error (exit 3) with the
/// reason it cannot be used.
report_input examine_input(const std::string& path);

struct checked_inputs {
  report_context context;
  definition_diagnosis diagnosis;
};

/// The keyword known (else exit 2), every input readable and fingerprinted,
/// the definition's own lint findings in the context's diagnostics.
checked_inputs check_inputs(const input_options& inputs);

/// The one analysis of a run, with the fates of the sections; a failure
/// becomes a check_error (exit 3) whose one line names the file.
analysis_result analyse_inputs(const input_options& inputs, const checked_inputs& checked);

/// One output named on the command line: standard output for "-".
struct output_request {
  std::string path;
  std::function<void(std::ostream&)> write;
};

/// Throws check_error (exit 3) when output (a file, not "-") is one of the inputs (empty: none).
void refuse_overwriting_input(const std::string& output,
                              const std::vector<const std::string*>& inputs);

/// Writes one output; refuses a file that is an input of the run (exit 3).
/// A file is written whole or not at all (write_whole_file): when it cannot
/// be, the old one stays as it was and the run ends with exit 3.
void write_output(const output_request& request, const report_context& context, std::ostream& out);

/// Throws check_error (exit 2) when the run reads no image, so that what needs symbols is
/// refused before any input is read: `what` names the subcommand or option.
void require_image(const input_options& inputs, const std::string& what);

/// Throws check_error (exit 3) when the image beside a listing holds not one of its counted
/// sections (image_account::foreign): its symbols would be reported as none at all.
void require_own_image(const memory_analysis& memory, const input_options& inputs);

/// Throws check_error (exit 2) when the analysis has no range of that id ("program0",
/// "memory1"), naming the definition file and its ranges; `option` starts the message.
void require_range(const memory_analysis& memory, const std::string& id,
                   const std::string& definition, const std::string& option);

/// KEYWORD MEMDEF MAP [EEPROM_SOURCE] as positionals of a subcommand, and --elf FILE.
void add_inputs(CLI::App& command, input_options& inputs, bool with_eeprom);

/// The exit codes, as every --help ends.
extern const char* const k_exit_codes;
