// `vemora-check symbols KEYWORD MEMDEF MAP [--elf FILE]`: the largest symbols of each range,
// each range closed by its sums (attributed + unattributed = used, as the analysis has them),
// as text, JSON or CSV. A run without an image has no symbols and is refused before any input
// is read; a range, SEARCH entry or section that the analysis lacks is refused after it.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <ostream>
#include <string>

#include "analysis/analysis.h"
#include "check/command_support.h"
#include "formats/symbol_formats.h"

struct symbols_options {
  std::string format = "text";
  std::string sort = "size";
  std::string range;
  std::size_t group = 0;
  std::string section;
  std::size_t top = 20;
};

/// Adds the subcommand, its inputs (into inputs) and its options to app.
CLI::App* add_symbols_command(CLI::App& app, input_options& inputs, symbols_options& options);

/// Runs a parsed symbols command: 0 when done; throws check_error for a usage (2) or input (3)
/// error before any output.
int run_symbols(const input_options& inputs, const symbols_options& options,
                const CLI::App& command, std::ostream& out);

/// The text form: per range a head line, the shown symbols as a table (bytes, kind, name with
/// its demangled form, section), the picked sections' sums under --section, the range's sum
/// line; a SEARCH entry's sums last under --group.
void write_symbols_text(std::ostream& out, const memory_analysis& memory, const symbol_view& view,
                        const symbol_query& query);
