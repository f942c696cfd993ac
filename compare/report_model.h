// What a comparison of two builds or a budget needs of one report: totals,
// ranges, groups and sections with their fate. It is read from a report's
// JSON (the baseline) or made from an analysis in memory (the current build),
// so both sides of every comparison are the same kind of data.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"
#include "lint/lint.h"

/// The load copies a range or area holds: initialised data placed elsewhere
/// whose image the linker also puts here.
struct model_load_copies {
  std::uint64_t sections = 0;
  std::uint64_t bytes = 0;
};

struct model_range {
  std::string id;  ///< "program0", "memory1" ...
  bool program = true;
  std::optional<std::string> label;
  std::uint64_t start = 0;
  std::uint64_t size = 0;
  std::uint64_t used = 0;  ///< bits rounded to whole bytes, as every format gives it
  std::int64_t free = 0;
  std::optional<double> used_pct;  ///< none for a range of size 0
  /// Both none when read from a report older than schema 1.2.0, which does not give them.
  std::optional<model_load_copies> load_copies = std::nullopt;
  std::optional<std::uint64_t> footprint =
      std::nullopt;  ///< used + load copies, what the linker prints
  /// The bytes of used that symbols of the image hold and the rest; both none without an image
  /// (and in reports older than schema 1.3.0).
  std::optional<std::uint64_t> attributed = std::nullopt;
  std::optional<std::uint64_t> unattributed = std::nullopt;
};

/// The program or the memory area; memory amounts count bits as eighths.
struct model_area {
  double total = 0;
  double used = 0;
  double free = 0;
  std::optional<double> used_pct;
  /// The program area's; none for the memory area and in reports older than schema 1.2.0.
  std::optional<model_load_copies> load_copies = std::nullopt;
  std::optional<double> footprint = std::nullopt;
};

struct model_group {
  std::string search;  ///< the SEARCH line's text
  std::uint64_t bytes = 0;
};

struct model_section {
  std::string name;
  bool counted = false;
  std::string range;   ///< the range that counted it; empty for a dropped one
  std::string reason;  ///< why it was dropped; empty for a counted one
  double bytes = 0;    ///< its size in bytes, bits as eighths
  /// The SEARCH group (index into report_model::groups) that holds it; none for the others.
  std::optional<std::size_t> group = std::nullopt;
};

/// A symbol of the image inside a counted section.
struct model_symbol {
  std::string key;      ///< the stable name two builds pair by (clone suffixes stripped)
  std::string display;  ///< the demangled name
  std::string file;     ///< a local symbol's source file; empty for the others
  bool local = false;
  std::size_t section = 0;  ///< index into report_model::sections, a counted one
  std::uint64_t address = 0;
  std::uint64_t size = 0;   ///< as the symbol table gives it
  std::uint64_t bytes = 0;  ///< the section's bytes it holds, after overlaps and cuts
};

struct model_dropped {
  std::string reason;
  std::uint64_t sections = 0;
  std::uint64_t bytes = 0;
};

/// The overall EEPROM amounts.
struct model_eeprom {
  std::uint64_t total = 0;
  std::uint64_t used = 0;
  std::uint64_t free = 0;
  std::optional<double> used_pct;
};

/// A finding of the lint on the build's inputs.
struct model_diagnostic {
  std::string code;      ///< "VL001" ... for the definition, "VL101" ... for the map
  std::string severity;  ///< "error", "warning" or "note"
  std::string message;
};

struct report_model {
  std::string schema_version;       ///< of the report it was read from; empty when made in memory
  std::vector<model_range> ranges;  ///< program ranges first, as the reports list them
  model_area program;
  model_area memory;
  std::vector<model_group> groups;      ///< in SEARCH order
  std::vector<model_section> sections;  ///< in map order
  std::vector<model_dropped> dropped;   ///< reasons with at least one section, in fate order
  std::optional<model_eeprom> eeprom;   ///< none without an EEPROM source
  /// The lint's findings: from the report's "diagnostics", or put in by the
  /// caller of model_of_analysis (model_diagnostics_of), which does not lint.
  std::vector<model_diagnostic> diagnostics;
  /// The run read an image, so symbols is the full list (possibly empty); false for a report
  /// made without one or older than schema 1.3.0.
  bool has_symbols = false;
  std::vector<model_symbol> symbols;  ///< by section and address

  const model_range* find_range(std::string_view id) const;
};

/// Reads a JSON report of schema "vemora-report", major version 1. False
/// with the reason in error (without the file's name) for text that is no
/// JSON, no report, a report of another major version, or one whose members
/// have the wrong type; model is then unspecified.
bool read_report_model(std::string_view text, report_model& model, std::string& error);
/// The same, read from a stream as it comes: the whole text is never held, and of the sections
/// and the symbols only their rows are kept. A failure to read the stream shows in its state.
bool read_report_model(std::istream& in, report_model& model, std::string& error);

/// The same data straight from an analysis made with collect_fates; its
/// diagnostics stay empty.
report_model model_of_analysis(const analysis_result& result);

/// The lint's findings as a model holds them.
std::vector<model_diagnostic> model_diagnostics_of(const std::vector<lint_finding>& findings);
