// The lint of a memory definition: the lines the analysis reads otherwise
// than a person would (an indented keyword, a lower-case one, an unreadable
// number, a "//" that is no comment, overlapping ranges ...) and, with a map,
// the map's traps (an overfull range, a section across a range boundary, one
// in no range, a name the format does not take, a SEARCH entry that counts
// nothing). Each finding has its rule code, severity, place and a message
// that says what the analysis does with the line. The findings are the ones
// vemora-check lint prints, and the JSON report's diagnostics.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "vemora/request.h"

namespace vemora {

enum class severity { error, warning, note };

/// The word a severity is printed as: "error", "warning" or "note".
std::string_view keyword(severity level);

/// One finding.
struct finding {
  std::string code;  ///< "VL001" ... "VL013" (the definition), "VL100" ... "VL114" (the map)
  severity level = severity::warning;
  std::string file;        ///< the input's name
  std::size_t line = 0;    ///< 1-based; 0 for a finding about the whole file
  std::size_t column = 0;  ///< 1-based byte column; 0 for a finding about the whole file
  std::string message;
};

/// What to lint: a memory definition and, when wanted, a map read in a format.
struct lint_request {
  input definition;
  std::optional<input> map;              ///< none: the definition's rules only
  map_format format = map_format::tev2;  ///< the map's format
  /// The linked ELF image of a listing, as request::elf: its symbols'
  /// findings (VL112 to VL114) join the map's. None with map_format::elf,
  /// whose map is the image.
  std::optional<input> elf;
};

/// The findings of one lint.
struct lint_result {
  /// False when the definition, the map or the image could not be read:
  /// problem then names it ("memory.def: cannot be read", for an image with
  /// the reason: "firmware.elf: cannot be read: ...") and findings is empty.
  bool readable = false;
  std::string problem;
  /// The definition's findings by line (one about the whole file last), then
  /// the map's by map line. A definition without any range line is not
  /// placed against the map: its own findings say why.
  std::vector<finding> findings;

  /// The findings of that severity.
  std::size_t count(severity level) const;
  /// Whether a finding is of that severity or graver (error above warning
  /// above note): what fails vemora-check lint --fail-on.
  bool has_at_least(severity threshold) const;
};

/// Reads the inputs and lints them. Never throws for bad input; no
/// process-wide state, so lints may run on several threads at once.
lint_result lint(const lint_request& what);

/// One line per finding, "FILE:LINE:COLUMN: SEVERITY: MESSAGE [CODE]", then
/// the count line "1 error, 2 warnings, 0 notes".
void write_lint_text(std::ostream& out, const lint_result& result);
/// GitHub workflow commands that annotate the lines in a CI run.
void write_lint_github(std::ostream& out, const lint_result& result);
/// {"diagnostics": [...]}, with the keys of the JSON report's diagnostics.
void write_lint_json(std::ostream& out, const lint_result& result);

}  // namespace vemora
