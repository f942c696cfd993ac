// The change between two builds as data: area totals, ranges (by id), SEARCH
// groups (by search text) and sections (by name and range), each with both
// values and delta = current - base. Computed once; the text, Markdown, JSON
// and CSV writers and any other face only print it.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "compare/report_model.h"

enum class diff_status { changed, unchanged, added, removed, moved, fate_changed };

/// "changed", "unchanged", "added", "removed", "moved", "fate_changed".
std::string_view diff_status_keyword(diff_status status);

/// One amount on both sides; a side without the row counts 0.
struct diff_amount {
  double base = 0;
  double current = 0;
  double delta = 0;  ///< current - base
  /// delta in percent of base; 0 when both are 0, none when only base is 0.
  std::optional<double> delta_pct;
};

diff_amount make_diff_amount(double base, double current);

struct area_diff {
  diff_amount used;
  diff_status status = diff_status::unchanged;  ///< changed or unchanged
  double base_total = 0;
  double current_total = 0;
  std::optional<double> base_used_pct;
  std::optional<double> current_used_pct;
};

struct range_diff {
  std::string id;
  std::optional<std::string> label;  ///< the current one, else the base one
  bool in_base = false;
  bool in_current = false;
  std::uint64_t base_start = 0;
  std::uint64_t base_size = 0;
  std::uint64_t current_start = 0;
  std::uint64_t current_size = 0;
  diff_amount used;
  std::optional<double> base_used_pct;
  std::optional<double> current_used_pct;
  std::int64_t current_free = 0;  ///< 0 when the range is gone
  diff_status status = diff_status::unchanged;
  /// The bytes of used no symbol holds, when both reports carry symbols: used's delta is the
  /// sum of the range's symbol deltas plus this one's.
  std::optional<diff_amount> unattributed;

  /// Whether start or size differ between two builds that both have it.
  bool bounds_changed() const {
    return in_base && in_current && (base_start != current_start || base_size != current_size);
  }
};

struct group_diff {
  std::string search;
  diff_amount bytes;
  diff_status status = diff_status::unchanged;
};

/// Used bytes of a section: its size when a range counted it, 0 when dropped.
struct section_diff {
  std::string name;
  std::string base_range;  ///< empty when dropped or absent
  std::string current_range;
  std::string base_reason;  ///< why it was dropped in the base build; empty otherwise
  std::string current_reason;
  bool in_base = false;
  bool in_current = false;
  diff_amount bytes;
  diff_status status = diff_status::unchanged;

  /// Dropped in both builds for the same reason: it counted nothing either
  /// time, so it is unchanged whatever its size did, and listed only on request.
  bool dropped_in_both() const {
    return in_base && in_current && !base_reason.empty() && base_reason == current_reason;
  }
};

enum class symbol_status { grown, shrunk, unchanged, added, removed, moved };

/// "grown", "shrunk", "unchanged", "added", "removed", "moved".
std::string_view symbol_status_keyword(symbol_status status);

/// Where a symbol is in one build; all empty on the side that lacks it.
struct symbol_place {
  std::string section;
  std::string range;  ///< the range id
  std::string group;  ///< the SEARCH text of its section's group; empty for none
  std::uint64_t address = 0;
  std::uint64_t size = 0;
};

/// One symbol of either build, paired with its counterpart if it has one. Its bytes are what it
/// holds of its section (after overlaps and cuts), so the rows add up to the ranges.
struct symbol_diff {
  std::string key;      ///< the current build's, else the base build's
  std::string display;  ///< likewise
  std::string file;     ///< a local symbol's file; empty for the others, "(global)" in the sums
  bool in_base = false;
  bool in_current = false;
  symbol_place base;
  symbol_place current;
  diff_amount bytes;
  /// added or removed for one side; moved when the section or range differ; else by the bytes.
  symbol_status status = symbol_status::unchanged;
};

/// The symbol rows summed over a range, SEARCH group or file, both sides.
struct symbol_sum {
  std::string name;  ///< range id, SEARCH text, or file ("(global)" for non-local symbols)
  diff_amount bytes;
  std::uint64_t added_bytes = 0;  ///< the current bytes of its added symbols
  std::size_t changed = 0;        ///< rows that are not unchanged
};

constexpr const char* k_global_file = "(global)";

/// Which reports carry symbols.
enum class symbol_sides { both, neither, base_only, current_only };

struct symbol_changes {
  symbol_sides sides = symbol_sides::neither;
  /// Every symbol of both builds (only when sides is both), sorted by |delta| (largest first),
  /// ties by key, then display, then the current address.
  std::vector<symbol_diff> rows;
  std::vector<symbol_sum> ranges;  ///< in the current build's range order, then gone ones
  std::vector<symbol_sum> groups;  ///< in the current build's SEARCH order, then gone ones
  std::vector<symbol_sum> files;   ///< by file name, "(global)" first
  std::uint64_t added_bytes = 0;   ///< of every added symbol
};

/// Pairs the symbols of two builds in passes, each taking only what the earlier ones left:
/// (key, section name, size), then (key, section name), then (key), then (display name).
/// Several candidates pair in address order.
symbol_changes compare_symbols(const report_model& base, const report_model& current);

/// Every row of both reports, ranges, groups and sections each sorted by
/// |delta| (largest first), ties by name, then in report order.
struct report_diff {
  area_diff program;
  area_diff memory;
  std::vector<range_diff> ranges;
  std::vector<group_diff> groups;
  std::vector<section_diff> sections;
  symbol_changes symbols;
};

/// The totals come from the reports' totals, never from the rows. Sections
/// of one name pair first within the same range (or both dropped), in map
/// order; the rest of that name pair in map order as moved or fate_changed.
report_diff compute_diff(const report_model& base, const report_model& current);

/// What a reader's view of the diff shows; the JSON and CSV carry every row
/// but the sections dropped in both builds, which only show_dropped lists.
struct diff_view {
  std::string base_name;  ///< the files as named on the command line
  std::string current_name;
  std::size_t top = 20;  ///< section rows shown (Markdown folds the rest)
  double min_delta = 0;  ///< changed rows with a smaller |delta| are left out
  bool show_unchanged = false;
  bool show_dropped = false;    ///< list the sections dropped in both builds for the same reason
  std::size_t symbol_top = 10;  ///< symbol rows shown under each changed range
};

/// Whether a text or Markdown view lists a row of that status and delta.
bool diff_row_shown(diff_status status, double delta, const diff_view& view);

/// Whether a view lists a section row: one dropped in both only with show_dropped.
bool diff_section_shown(const section_diff& row, const diff_view& view);

constexpr const char* k_diff_schema_version = "1.1.0";

/// Aligned tables, for a terminal.
void write_diff_text(std::ostream& out, const report_diff& diff, const diff_view& view);
/// Starts with the line "<!-- vemora-check diff -->"; the section rows past
/// view.top go into a <details> block.
void write_diff_markdown(std::ostream& out, const report_diff& diff, const diff_view& view);
/// The "vemora-diff" document, one row a line; indent starts every line
/// after the first, so that it can sit inside another document. The sections
/// dropped in both builds for the same reason only with show_dropped.
void write_diff_json(std::ostream& out, const report_diff& diff, std::string_view indent = "",
                     bool show_dropped = false);
/// One row per total, range, group and section (those dropped in both only
/// with show_dropped):
/// level,name,base_range,current_range,base,current,delta_current_minus_base,delta_pct,status.
void write_diff_csv(std::ostream& out, const report_diff& diff, bool show_dropped = false);
