// The writers of a report_diff: each prints the rows the diff holds, in its
// order, and computes no figure.
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
         (row.in_current ? std::to_string(row.current_free) : "null") + "}";
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
      out, indent, "sections", diff.sections, json_section, true,
      [show_dropped](const section_diff* row) { return show_dropped || !row->dropped_in_both(); });
  out << indent << "}";
  if (indent.empty()) {
    out << '\n';
  }
}

void write_diff_csv(std::ostream& out, const report_diff& diff, bool show_dropped) {
  constexpr const char* k_end = "\r\n";
  out << "level,name,base_range,current_range,base,current,delta_current_minus_base,delta_pct,"
         "status"
      << k_end;
  const auto number = [](std::optional<double> value) {
    const std::string text = json_number(value);
    return text == "null" ? std::string() : text;
  };
  const auto amounts = [&number](const diff_amount& amount) {
    return json_amount(amount.base) + ',' + json_amount(amount.current) + ',' +
           json_amount(amount.delta) + ',' + number(amount.delta_pct);
  };
  out << "total,program,,," << amounts(diff.program.used) << ','
      << diff_status_keyword(diff.program.status) << k_end;
  out << "total,memory,,," << amounts(diff.memory.used) << ','
      << diff_status_keyword(diff.memory.status) << k_end;
  for (const range_diff& row : diff.ranges) {
    out << "range," << csv_field(row.id) << ",,," << amounts(row.used) << ','
        << diff_status_keyword(row.status) << k_end;
  }
  for (const group_diff& row : diff.groups) {
    out << "group," << csv_field(row.search) << ",,," << amounts(row.bytes) << ','
        << diff_status_keyword(row.status) << k_end;
  }
  for (const section_diff& row : diff.sections) {
    if (!show_dropped && row.dropped_in_both()) {
      continue;
    }
    out << "section," << csv_field(row.name) << ',' << csv_field(row.base_range) << ','
        << csv_field(row.current_range) << ',' << amounts(row.bytes) << ','
        << diff_status_keyword(row.status) << k_end;
  }
}
