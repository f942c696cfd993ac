// The writers of a report_diff: each prints the rows the diff holds, in its
// order, and computes no figure.
#include <algorithm>
#include <cmath>
#include <string>

#include "compare/compare_text.h"
#include "compare/report_diff.h"
#include "formats/format_text.h"

namespace {
using compare_text::amount;
using compare_text::json_amount;
using compare_text::percent;
using compare_text::signed_amount;
using compare_text::signed_percent;
using compare_text::table;

constexpr const char* k_delta_rule = "\xCE\x94 = CURRENT \xE2\x88\x92 BASE";
constexpr const char* k_arrow = " \xE2\x86\x92 ";

/// "new" and "removed" where a percentage of the base would be infinite.
std::string delta_pct_text(const diff_amount& amount, diff_status status) {
  if (status == diff_status::added) {
    return "new";
  }
  if (status == diff_status::removed) {
    return "removed";
  }
  return amount.delta_pct ? signed_percent(amount.delta_pct) : "new";
}

std::string place_text(bool present, const std::string& range, const std::string& reason) {
  if (!present) {
    return "-";
  }
  if (!reason.empty()) {
    return "dropped: " + reason;
  }
  return range.empty() ? "counted" : range;
}

std::string section_place(const section_diff& row) {
  const std::string before = place_text(row.in_base, row.base_range, row.base_reason);
  const std::string now = place_text(row.in_current, row.current_range, row.current_reason);
  if (!row.in_base) {
    return now;
  }
  if (!row.in_current || before == now) {
    return before;
  }
  return before + k_arrow + now;
}

std::string bounds_text(std::uint64_t start, std::uint64_t size) {
  return hex_address(static_cast<std::uint32_t>(start)) + " size " + std::to_string(size);
}

std::string range_bounds(const range_diff& row) {
  if (!row.bounds_changed()) {
    return "";
  }
  return bounds_text(row.base_start, row.base_size) + k_arrow +
         bounds_text(row.current_start, row.current_size);
}

std::string used_pct_change(const range_diff& row) {
  const std::string before = row.in_base ? percent(row.base_used_pct) : "-";
  const std::string now = row.in_current ? percent(row.current_used_pct) : "-";
  return before + k_arrow + now;
}

using cell_of = std::string (*)(std::string_view);

std::string as_is(std::string_view text) { return compare_text::terminal_text(text); }

table totals_table(const report_diff& diff) {
  table rows{{"Area", "Base", "Current", "\xCE\x94 bytes", "\xCE\x94 %", "Used %"}, "lrrrrr", {}};
  const auto add = [&rows](const char* name, const area_diff& area) {
    rows.rows.push_back({name, amount(area.used.base), amount(area.used.current),
                         signed_amount(area.used.delta), delta_pct_text(area.used, area.status),
                         percent(area.base_used_pct) + k_arrow + percent(area.current_used_pct)});
  };
  add("program", diff.program);
  add("memory", diff.memory);
  return rows;
}

table ranges_table(const std::vector<const range_diff*>& shown, cell_of cell) {
  table rows{
      {"Range", "Label", "Base", "Current", "\xCE\x94 bytes", "\xCE\x94 %",
       "Used % base" + std::string(k_arrow) + "current", "Free now", "Status", "Start, size"},
      "llrrrrrrll",
      {}};
  for (const range_diff* row : shown) {
    rows.rows.push_back({cell(row->id), row->label ? cell(*row->label) : "", amount(row->used.base),
                         amount(row->used.current), signed_amount(row->used.delta),
                         delta_pct_text(row->used, row->status), used_pct_change(*row),
                         row->in_current ? std::to_string(row->current_free) : "-",
                         std::string(diff_status_keyword(row->status)), range_bounds(*row)});
  }
  return rows;
}

table groups_table(const std::vector<const group_diff*>& shown, cell_of cell) {
  table rows{{"Search", "Base", "Current", "\xCE\x94 bytes", "\xCE\x94 %", "Status"}, "lrrrrl", {}};
  for (const group_diff* row : shown) {
    rows.rows.push_back({cell(row->search), amount(row->bytes.base), amount(row->bytes.current),
                         signed_amount(row->bytes.delta), delta_pct_text(row->bytes, row->status),
                         std::string(diff_status_keyword(row->status))});
  }
  return rows;
}

table sections_table(const std::vector<const section_diff*>& shown, std::size_t from,
                     std::size_t to, cell_of cell) {
  table rows{{"Section", "Range", "Base", "Current", "\xCE\x94 bytes", "\xCE\x94 %", "Status"},
             "llrrrrl",
             {}};
  for (std::size_t i = from; i < to && i < shown.size(); ++i) {
    const section_diff& row = *shown[i];
    rows.rows.push_back({cell(row.name), cell(section_place(row)), amount(row.bytes.base),
                         amount(row.bytes.current), signed_amount(row.bytes.delta),
                         delta_pct_text(row.bytes, row.status),
                         std::string(diff_status_keyword(row.status))});
  }
  return rows;
}

/// The rows a view lists, in the diff's order.
struct shown_rows {
  std::vector<const range_diff*> ranges;
  std::vector<const group_diff*> groups;
  std::vector<const section_diff*> sections;
};

shown_rows select(const report_diff& diff, const diff_view& view) {
  shown_rows shown;
  for (const range_diff& row : diff.ranges) {
    // A range whose bounds moved is listed even when its use did not change.
    if (diff_row_shown(row.status, row.bounds_changed() ? view.min_delta : row.used.delta, view)) {
      shown.ranges.push_back(&row);
    }
  }
  for (const group_diff& row : diff.groups) {
    if (diff_row_shown(row.status, row.bytes.delta, view)) {
      shown.groups.push_back(&row);
    }
  }
  for (const section_diff& row : diff.sections) {
    if (diff_section_shown(row, view)) {
      shown.sections.push_back(&row);
    }
  }
  return shown;
}

// ---- symbols under their ranges -----------------------------------------

/// The rule of a section row: a grown or shrunk symbol is a changed row.
diff_status as_row_status(symbol_status status) {
  switch (status) {
    case symbol_status::grown:
    case symbol_status::shrunk:
      return diff_status::changed;
    case symbol_status::unchanged:
      return diff_status::unchanged;
    case symbol_status::added:
      return diff_status::added;
    case symbol_status::removed:
      return diff_status::removed;
    case symbol_status::moved:
      return diff_status::moved;
  }
  return diff_status::changed;
}

bool symbol_shown(const symbol_diff& row, const diff_view& view) {
  return diff_row_shown(as_row_status(row.status), row.bytes.delta, view);
}

/// The range a symbol row is listed under: where it is now, or where it was.
const std::string& listed_range(const symbol_diff& row) {
  return row.in_current ? row.current.range : row.base.range;
}

std::string symbol_section(const symbol_diff& row) {
  if (!row.in_current) {
    return row.base.section;
  }
  if (row.in_base && row.base.section != row.current.section) {
    return row.base.section + k_arrow + row.current.section;
  }
  return row.current.section;
}

/// "new" for an added symbol, "removed" for a removed one, else the percentage.
std::string symbol_pct_text(const symbol_diff& row) {
  if (row.status == symbol_status::added) {
    return "new";
  }
  if (row.status == symbol_status::removed) {
    return "removed";
  }
  return row.bytes.delta_pct ? signed_percent(row.bytes.delta_pct) : "new";
}

/// The symbol rows of one range a view lists: added ones first, then the rest, each in the
/// diff's order (|delta| largest first).
std::vector<const symbol_diff*> range_symbols(const report_diff& diff, const std::string& range,
                                              const diff_view& view) {
  std::vector<const symbol_diff*> added;
  std::vector<const symbol_diff*> others;
  for (const symbol_diff& row : diff.symbols.rows) {
    if (listed_range(row) == range && symbol_shown(row, view)) {
      (row.status == symbol_status::added ? added : others).push_back(&row);
    }
  }
  added.insert(added.end(), others.begin(), others.end());
  return added;
}

bool any_symbol_changed(const std::vector<const symbol_diff*>& rows) {
  return std::any_of(rows.begin(), rows.end(), [](const symbol_diff* row) {
    return row->status != symbol_status::unchanged;
  });
}

table symbols_table(const std::vector<const symbol_diff*>& rows, std::size_t top, cell_of cell) {
  table out{{"Symbol", "Status", "Base", "Current", "\xCE\x94 bytes", "\xCE\x94 %", "Section"},
            "llrrrrl",
            {}};
  for (std::size_t i = 0; i < top && i < rows.size(); ++i) {
    const symbol_diff& row = *rows[i];
    out.rows.push_back({cell(row.display), std::string(symbol_status_keyword(row.status)),
                        amount(row.bytes.base), amount(row.bytes.current),
                        signed_amount(row.bytes.delta), symbol_pct_text(row),
                        cell(symbol_section(row))});
  }
  return out;
}

/// "symbols +N, unattributed +M" of a range.
std::string symbol_sum_line(const report_diff& diff, const range_diff& range) {
  double symbols = 0;
  for (const symbol_sum& sum : diff.symbols.ranges) {
    if (sum.name == range.id) {
      symbols = sum.bytes.delta;
    }
  }
  return "symbols " + signed_amount(symbols) + ", unattributed " +
         (range.unattributed ? signed_amount(range.unattributed->delta) : std::string("n/a"));
}

/// One line when only one report carries symbols; empty when both or neither do.
std::string one_side_note(symbol_sides sides) {
  if (sides == symbol_sides::base_only) {
    return "Symbols: only the base report carries symbols (made with an image); the diff "
           "compares sections only.";
  }
  if (sides == symbol_sides::current_only) {
    return "Symbols: only the current report carries symbols (made with an image); the diff "
           "compares sections only.";
  }
  return "";
}

/// A range and the symbol rows a view lists under it.
struct range_block {
  const range_diff* range = nullptr;
  std::vector<const symbol_diff*> rows;
};

/// The ranges that changed or whose symbols did, in the order of the ranges.
std::vector<range_block> symbol_blocks(const report_diff& diff,
                                       const std::vector<const range_diff*>& shown,
                                       const diff_view& view) {
  std::vector<range_block> blocks;
  if (diff.symbols.sides != symbol_sides::both) {
    return blocks;
  }
  for (const range_diff& range : diff.ranges) {
    range_block block{&range, range_symbols(diff, range.id, view)};
    const bool listed = std::find(shown.begin(), shown.end(), &range) != shown.end();
    if (listed || any_symbol_changed(block.rows)) {
      blocks.push_back(std::move(block));
    }
  }
  return blocks;
}

std::string more_symbols(std::size_t rows, std::size_t top) {
  return "... and " + plural_text(rows - top, "more symbol", "more symbols") +
         " (--top sets how many are listed)";
}

void write_symbols_text(std::ostream& out, const report_diff& diff,
                        const std::vector<const range_diff*>& shown, const diff_view& view) {
  const std::string note = one_side_note(diff.symbols.sides);
  if (!note.empty()) {
    out << '\n' << note << '\n';
  }
  for (const range_block& block : symbol_blocks(diff, shown, view)) {
    out << "\nSymbols of " << as_is(block.range->id) << '\n';
    if (block.rows.empty()) {
      out << "No symbol changed.\n";
    } else if (view.symbol_top > 0) {
      compare_text::write_text_table(out, symbols_table(block.rows, view.symbol_top, as_is));
    }
    if (block.rows.size() > view.symbol_top) {
      out << more_symbols(block.rows.size(), view.symbol_top) << '\n';
    }
    out << symbol_sum_line(diff, *block.range) << '\n';
  }
}

/// The files whose symbols changed, |delta| largest first (ties in the diff's order).
table files_table(const report_diff& diff, const diff_view& view, std::size_t& listed) {
  std::vector<const symbol_sum*> files;
  for (const symbol_sum& sum : diff.symbols.files) {
    if (sum.changed > 0 || view.show_unchanged) {
      files.push_back(&sum);
    }
  }
  std::stable_sort(files.begin(), files.end(), [](const symbol_sum* a, const symbol_sum* b) {
    return std::fabs(a->bytes.delta) > std::fabs(b->bytes.delta);
  });
  listed = files.size();
  table out{{"File", "Base", "Current", "\xCE\x94 bytes", "Changed", "Added bytes"}, "lrrrrr", {}};
  for (std::size_t i = 0; i < view.symbol_top && i < files.size(); ++i) {
    const symbol_sum& sum = *files[i];
    out.rows.push_back({markdown_cell(sum.name), amount(sum.bytes.base), amount(sum.bytes.current),
                        signed_amount(sum.bytes.delta), std::to_string(sum.changed),
                        std::to_string(sum.added_bytes)});
  }
  return out;
}

void write_symbols_markdown(std::ostream& out, const report_diff& diff,
                            const std::vector<const range_diff*>& shown, const diff_view& view) {
  const std::string note = one_side_note(diff.symbols.sides);
  if (!note.empty()) {
    out << '\n' << note << '\n';
  }
  if (diff.symbols.sides != symbol_sides::both) {
    return;
  }
  for (const range_block& block : symbol_blocks(diff, shown, view)) {
    out << "\n#### Symbols of " << markdown_cell(block.range->id) << "\n\n";
    if (block.rows.empty()) {
      out << "No symbol changed.\n";
    } else if (view.symbol_top > 0) {
      compare_text::write_markdown_table(out,
                                         symbols_table(block.rows, view.symbol_top, markdown_cell));
    }
    if (block.rows.size() > view.symbol_top) {
      out << '\n' << more_symbols(block.rows.size(), view.symbol_top) << '\n';
    }
    out << '\n' << symbol_sum_line(diff, *block.range) << '\n';
  }
  std::size_t listed = 0;
  const table files = files_table(diff, view, listed);
  if (files.rows.empty()) {
    return;
  }
  out << "\n<details><summary>Symbols by file: " << files.rows.size() << " of "
      << plural_text(listed, "file", "files") << "</summary>\n\n";
  compare_text::write_markdown_table(out, files);
  out << "\n</details>\n";
}

std::string header_line(const diff_view& view, const char* arrow) {
  return "vemora-check diff: " + view.base_name + arrow + view.current_name + " (" + k_delta_rule +
         ")";
}
}  // namespace

void write_diff_text(std::ostream& out, const report_diff& diff, const diff_view& view) {
  const shown_rows shown = select(diff, view);
  out << as_is(header_line(view, " -> ")) << "\n\n";
  out << "Totals\n";
  compare_text::write_text_table(out, totals_table(diff));
  out << "\nRanges\n";
  if (shown.ranges.empty()) {
    out << "No range changed.\n";
  } else {
    compare_text::write_text_table(out, ranges_table(shown.ranges, as_is));
  }
  write_symbols_text(out, diff, shown.ranges, view);
  out << "\nGroups\n";
  if (shown.groups.empty()) {
    out << "No group changed.\n";
  } else {
    compare_text::write_text_table(out, groups_table(shown.groups, as_is));
  }
  out << "\nSections\n";
  if (shown.sections.empty()) {
    out << "No section changed.\n";
    return;
  }
  if (view.top > 0) {
    compare_text::write_text_table(out, sections_table(shown.sections, 0, view.top, as_is));
  }
  if (shown.sections.size() > view.top) {
    out << "... and "
        << plural_text(shown.sections.size() - view.top, "more section", "more sections")
        << " (--top sets how many are listed)\n";
  }
}

void write_diff_markdown(std::ostream& out, const report_diff& diff, const diff_view& view) {
  const shown_rows shown = select(diff, view);
  out << "<!-- vemora-check diff -->\n";
  out << "### " << markdown_cell(header_line(view, k_arrow)) << "\n\n";
  compare_text::write_markdown_table(out, totals_table(diff));
  out << "\n#### Ranges\n\n";
  if (shown.ranges.empty()) {
    out << "No range changed.\n";
  } else {
    compare_text::write_markdown_table(out, ranges_table(shown.ranges, markdown_cell));
  }
  write_symbols_markdown(out, diff, shown.ranges, view);
  out << "\n#### Groups\n\n";
  if (shown.groups.empty()) {
    out << "No group changed.\n";
  } else {
    compare_text::write_markdown_table(out, groups_table(shown.groups, markdown_cell));
  }
  out << "\n#### Sections\n\n";
  if (shown.sections.empty()) {
    out << "No section changed.\n";
    return;
  }
  if (view.top > 0) {
    compare_text::write_markdown_table(out,
                                       sections_table(shown.sections, 0, view.top, markdown_cell));
  }
  if (shown.sections.size() > view.top) {
    out << (view.top > 0 ? "\n" : "") << "<details><summary>"
        << plural_text(shown.sections.size() - view.top, "more section", "more sections")
        << "</summary>\n\n";
    compare_text::write_markdown_table(
        out, sections_table(shown.sections, view.top, shown.sections.size(), markdown_cell));
    out << "\n</details>\n";
  }
}

namespace {
std::string json_key(const char* key) { return json_string(key) + ": "; }

std::string json_text_or_null(const std::string& text) {
  return text.empty() ? "null" : json_string(text);
}

std::string json_amounts(const diff_amount& amount) {
  return json_key("base") + json_amount(amount.base) + ", " + json_key("current") +
         json_amount(amount.current) + ", " + json_key("delta") + json_amount(amount.delta);
}

std::string json_area(const area_diff& area) {
  return "{" + json_amounts(area.used) + ", " + json_key("delta_pct") +
         json_number(area.used.delta_pct) + ", " + json_key("base_total") +
         json_amount(area.base_total) + ", " + json_key("current_total") +
         json_amount(area.current_total) + ", " + json_key("base_used_pct") +
         json_number(area.base_used_pct) + ", " + json_key("current_used_pct") +
         json_number(area.current_used_pct) + "}";
}

std::string json_bound(bool present, std::uint64_t value) {
  return present ? std::to_string(value) : "null";
}

std::string json_range(const range_diff& row) {
  return "{" + json_key("id") + json_string(row.id) + ", " + json_amounts(row.used) + ", " +
         json_key("base_used_pct") + json_number(row.base_used_pct) + ", " +
         json_key("current_used_pct") + json_number(row.current_used_pct) + ", " +
         json_key("status") + json_string(diff_status_keyword(row.status)) + ", " +
         json_key("label") + (row.label ? json_string(*row.label) : "null") + ", " +
         json_key("delta_pct") + json_number(row.used.delta_pct) + ", " + json_key("base_start") +
         json_bound(row.in_base, row.base_start) + ", " + json_key("base_size") +
         json_bound(row.in_base, row.base_size) + ", " + json_key("current_start") +
         json_bound(row.in_current, row.current_start) + ", " + json_key("current_size") +
         json_bound(row.in_current, row.current_size) + ", " + json_key("current_free") +
         (row.in_current ? std::to_string(row.current_free) : "null") + ", " +
         json_key("unattributed") +
         (row.unattributed ? "{" + json_amounts(*row.unattributed) + ", " + json_key("delta_pct") +
                                 json_number(row.unattributed->delta_pct) + "}"
                           : std::string("null")) +
         "}";
}

std::string json_group(const group_diff& row) {
  return "{" + json_key("search") + json_string(row.search) + ", " + json_amounts(row.bytes) +
         ", " + json_key("status") + json_string(diff_status_keyword(row.status)) + ", " +
         json_key("delta_pct") + json_number(row.bytes.delta_pct) + "}";
}

std::string json_section(const section_diff& row) {
  return "{" + json_key("name") + json_string(row.name) + ", " + json_key("base_range") +
         json_text_or_null(row.base_range) + ", " + json_key("current_range") +
         json_text_or_null(row.current_range) + ", " + json_amounts(row.bytes) + ", " +
         json_key("status") + json_string(diff_status_keyword(row.status)) + ", " +
         json_key("delta_pct") + json_number(row.bytes.delta_pct) + ", " + json_key("base_reason") +
         json_text_or_null(row.base_reason) + ", " + json_key("current_reason") +
         json_text_or_null(row.current_reason) + "}";
}

std::string_view symbol_sides_keyword(symbol_sides sides) {
  switch (sides) {
    case symbol_sides::both:
      return "both";
    case symbol_sides::neither:
      return "neither";
    case symbol_sides::base_only:
      return "base_only";
    case symbol_sides::current_only:
      return "current_only";
  }
  return "neither";
}

std::string json_place(bool present, const symbol_place& place, double bytes) {
  if (!present) {
    return "null";
  }
  return "{" + json_key("section") + json_string(place.section) + ", " + json_key("range") +
         json_string(place.range) + ", " + json_key("group") + json_text_or_null(place.group) +
         ", " + json_key("address") + std::to_string(place.address) + ", " + json_key("size") +
         std::to_string(place.size) + ", " + json_key("bytes") + json_amount(bytes) + "}";
}

std::string json_symbol(const symbol_diff& row) {
  return "{" + json_key("key") + json_string(row.key) + ", " + json_key("display") +
         json_string(row.display) + ", " + json_key("file") + json_text_or_null(row.file) + ", " +
         json_key("status") + json_string(symbol_status_keyword(row.status)) + ", " +
         json_key("base") + json_place(row.in_base, row.base, row.bytes.base) + ", " +
         json_key("current") + json_place(row.in_current, row.current, row.bytes.current) + ", " +
         json_key("delta") + json_amount(row.bytes.delta) + ", " + json_key("delta_pct") +
         json_number(row.bytes.delta_pct) + "}";
}

/// A sum row; key names its first member ("id", "search" or "file").
std::string json_symbol_sum(const char* key, const symbol_sum& sum) {
  return "{" + json_key(key) + json_string(sum.name) + ", " + json_amounts(sum.bytes) + ", " +
         json_key("delta_pct") + json_number(sum.bytes.delta_pct) + ", " + json_key("added_bytes") +
         std::to_string(sum.added_bytes) + ", " + json_key("changed") +
         std::to_string(sum.changed) + "}";
}

bool always(const void* /*row*/) { return true; }

template <typename row_type, typename text_of, typename listed_type>
void write_rows(std::ostream& out, std::string_view indent, const char* key,
                const std::vector<row_type>& rows, const text_of& text, bool last,
                const listed_type& listed) {
  out << indent << "  " << json_key(key) << '[';
  bool first = true;
  for (const row_type& row : rows) {
    if (!listed(&row)) {
      continue;
    }
    out << (first ? "\n" : ",\n") << indent << "    " << text(row);
    first = false;
  }
  if (!first) {
    out << '\n' << indent << "  ";
  }
  out << (last ? "]\n" : "],\n");
}
}  // namespace

void write_diff_json(std::ostream& out, const report_diff& diff, std::string_view indent,
                     bool show_dropped) {
  out << "{\n";
  out << indent << "  " << json_key("schema") << "\"vemora-diff\",\n";
  out << indent << "  " << json_key("schema_version") << json_string(k_diff_schema_version)
      << ",\n";
  out << indent << "  " << json_key("delta_is") << "\"current - base\",\n";
  out << indent << "  " << json_key("totals") << "{" << json_key("program")
      << json_area(diff.program) << ", " << json_key("memory") << json_area(diff.memory) << "},\n";
  write_rows(out, indent, "ranges", diff.ranges, json_range, false, always);
  write_rows(out, indent, "groups", diff.groups, json_group, false, always);
  write_rows(
      out, indent, "sections", diff.sections, json_section, false,
      [show_dropped](const section_diff* row) { return show_dropped || !row->dropped_in_both(); });
  const symbol_changes& symbols = diff.symbols;
  const std::string inner = std::string(indent) + "  ";
  out << indent << "  " << json_key("symbols") << "{\n";
  out << inner << "  " << json_key("sides") << json_string(symbol_sides_keyword(symbols.sides))
      << ",\n";
  out << inner << "  " << json_key("added_bytes") << symbols.added_bytes << ",\n";
  write_rows(out, inner, "rows", symbols.rows, json_symbol, false, always);
  const auto sums_of = [](const char* key) {
    return [key](const symbol_sum& sum) { return json_symbol_sum(key, sum); };
  };
  write_rows(out, inner, "ranges", symbols.ranges, sums_of("id"), false, always);
  write_rows(out, inner, "groups", symbols.groups, sums_of("search"), false, always);
  write_rows(out, inner, "files", symbols.files, sums_of("file"), true, always);
  out << indent << "  }\n";
  out << indent << "}";
  if (indent.empty()) {
    out << '\n';
  }
}

void write_diff_csv(std::ostream& out, const report_diff& diff, bool show_dropped) {
  constexpr const char* k_end = "\r\n";
  out << "level,name,base_range,current_range,base,current,delta_current_minus_base,delta_pct,"
         "status,key,base_section,current_section,base_group,current_group,file"
      << k_end;
  // The symbol columns of the rows that are no symbol's.
  constexpr const char* k_no_symbol = ",,,,,,";
  const auto number = [](std::optional<double> value) {
    const std::string text = json_number(value);
    return text == "null" ? std::string() : text;
  };
  const auto amounts = [&number](const diff_amount& amount) {
    return json_amount(amount.base) + ',' + json_amount(amount.current) + ',' +
           json_amount(amount.delta) + ',' + number(amount.delta_pct);
  };
  out << "total,program,,," << amounts(diff.program.used) << ','
      << diff_status_keyword(diff.program.status) << k_no_symbol << k_end;
  out << "total,memory,,," << amounts(diff.memory.used) << ','
      << diff_status_keyword(diff.memory.status) << k_no_symbol << k_end;
  for (const range_diff& row : diff.ranges) {
    out << "range," << csv_field(row.id) << ",,," << amounts(row.used) << ','
        << diff_status_keyword(row.status) << k_no_symbol << k_end;
  }
  for (const group_diff& row : diff.groups) {
    out << "group," << csv_field(row.search) << ",,," << amounts(row.bytes) << ','
        << diff_status_keyword(row.status) << k_no_symbol << k_end;
  }
  for (const section_diff& row : diff.sections) {
    if (!show_dropped && row.dropped_in_both()) {
      continue;
    }
    out << "section," << csv_field(row.name) << ',' << csv_field(row.base_range) << ','
        << csv_field(row.current_range) << ',' << amounts(row.bytes) << ','
        << diff_status_keyword(row.status) << k_no_symbol << k_end;
  }
  for (const symbol_diff& row : diff.symbols.rows) {
    out << "symbol," << csv_field(row.display) << ',' << csv_field(row.base.range) << ','
        << csv_field(row.current.range) << ',' << amounts(row.bytes) << ','
        << symbol_status_keyword(row.status) << ',' << csv_field(row.key) << ','
        << csv_field(row.base.section) << ',' << csv_field(row.current.section) << ','
        << csv_field(row.base.group) << ',' << csv_field(row.current.group) << ','
        << csv_field(row.file) << k_end;
  }
  // The sums have no status of their own: their rows say what changed.
  const auto sums = [&](const char* level, const std::vector<symbol_sum>& rows) {
    for (const symbol_sum& sum : rows) {
      out << level << ',' << csv_field(sum.name) << ",,," << amounts(sum.bytes) << ','
          << k_no_symbol << k_end;
    }
  };
  sums("symbol_range", diff.symbols.ranges);
  sums("symbol_group", diff.symbols.groups);
  sums("symbol_file", diff.symbols.files);
}
