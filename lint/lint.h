// The lint of a memory definition file, and with an analysed map the traps
// of the map as well: one list of findings, each with its rule code, severity,
// file, line, column and message. The definition's findings come from the
// definition reader's own parse, the map's from the one analysis, so a lint
// never reads a number differently from the report. Free of any command line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"
#include "memdef/definition_diagnostics.h"
#include "text/input_source.h"

/// One finding, as every face of the lint prints it.
struct lint_finding {
  std::string code;  ///< "VL001" ... "VL013" (the definition), "VL100" ... "VL114" (the map)
  finding_severity severity = finding_severity::warning;
  std::string file;        ///< the definition file or the map, as named by the caller
  std::size_t line = 0;    ///< 1-based; 0 for a finding about the whole file
  std::size_t column = 0;  ///< 1-based; 0 for a finding about the whole file
  std::string message;
};

/// The map side of a lint: an analysis of the same definition file, made
/// with collect_fates, the keyword it read the map with and the map's name.
struct map_lint_input {
  const memory_analysis* analysis = nullptr;
  std::string keyword;
  std::string map_file;
};

/// The findings: those about the definition file by line (the whole-file one
/// last), then those about the map by map line. Without map.analysis only
/// the definition's own rules are looked at; with one whose memory side
/// failed, the map's rules are left out as well.
std::vector<lint_finding> lint_findings(const definition_diagnosis& diagnosis,
                                        const std::string& definition_file,
                                        const map_lint_input& map = {});

/// Which input a lint could not read.
enum class lint_unreadable { none, definition, map, image };

struct lint_run {
  lint_unreadable unreadable = lint_unreadable::none;  ///< not none: findings is empty
  /// Why the image (the map with "Elf", or the one beside the listing) could not be read; empty
  /// for any other input.
  std::string image_error;
  std::vector<lint_finding> findings;
};

/// Reads the definition and, when given, the map with keyword (known to the
/// caller), and lints them; the findings name each input by its path. A
/// definition without any range line is not placed against the map, which
/// is then not read: its own findings say why. An image beside the map (not with "Elf", whose
/// map is the image) attributes its symbols to the map's sections, for VL112 to VL114.
lint_run lint_inputs(const input_source& definition, const std::optional<input_source>& map = {},
                     const std::string& keyword = {},
                     const std::optional<input_source>& image = {});

/// Whether a finding of that severity is at least as grave as threshold
/// (error above warning above note).
bool at_least(finding_severity severity, finding_severity threshold);

/// The findings of each severity.
struct severity_counts {
  std::size_t errors = 0;
  std::size_t warnings = 0;
  std::size_t notes = 0;
};
severity_counts count_by_severity(const std::vector<lint_finding>& findings);

/// What a map that is no section listing is, as one clause after its name:
/// "is an ELF file (...), not a section listing: ...".
std::string no_listing_text(map_form form, const std::string& keyword);

/// The elxr keywords other than keyword whose readers take a section line
/// with that name, in the order Tev2, Orm8, Pux4, Tev2_mem32_unlimited.
std::vector<std::string> keywords_accepting(std::string_view section_name,
                                            const std::string& keyword);
