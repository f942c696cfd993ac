// The console memory report: the fixed layout of the totals, the per-range
// lines and the SEARCH breakdown, printed from one analysis, and the result
// file beside the map when SEARCH entries matched a name more than once.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "analysis/analysis.h"

/// The "Program breakdown:" section and, when there were ambiguous matches,
/// the result file and its warning. program_bytes is the sum the percentages
/// divide by. inputs: files the result file must never replace. Without
/// write_result_file the warning is printed all the same and no file is
/// touched (a library caller, or a map held in memory).
void print_breakdown(std::ostream& out, const search_breakdown& breakdown,
                     std::uint32_t program_bytes, const std::string& map_file_path,
                     const std::vector<std::string>& inputs, bool write_result_file = true);

/// Prints the analysis' failure messages (false), nothing when the map held
/// no section in any range (true), or the report (true). protected_inputs:
/// the files the result file must never replace besides the map file.
bool print_memory_report(const memory_analysis& analysis, std::ostream& out,
                         const std::string& map_file_path,
                         const std::vector<std::string>& protected_inputs,
                         bool write_result_file = true);

/// Analyses and prints the memory report; true when it was printed or the map
/// held no section in any range, false after a failure message. other_inputs:
/// further input files of the run (the EEPROM source) that the result file
/// must never replace; the map and definition files are always protected.
bool run_memory_report(std::string map_file_path, std::string definition_path,
                       std::string type_keyword, std::ostream& out,
                       const std::vector<std::string>& other_inputs = {});
