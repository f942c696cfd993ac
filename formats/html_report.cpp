#include "formats/html_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <streambuf>
#include <string>
#include <vector>

#include "formats/format_text.h"

namespace {
/// Passes the JSON report on to the page with every '<' as \u003c: "<" only
/// ever stands inside a JSON string, where the escape reads back as the same
/// character, and without it no "</script" or "<!--" can reach the HTML
/// parser. The report streams through it as it is written.
class c_script_safe_buffer : public std::streambuf {
 public:
  explicit c_script_safe_buffer(std::ostream& out) : m_out(out) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
      return traits_type::not_eof(c);
    }
    const char text = traits_type::to_char_type(c);
    return xsputn(&text, 1) == 1 ? c : traits_type::eof();
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    std::streamsize from = 0;
    for (std::streamsize at = 0; at < count; ++at) {
      if (text[at] == '<') {
        m_out.write(text + from, at - from);
        m_out.write("\\u003c", 6);
        from = at + 1;
      }
    }
    m_out.write(text + from, count - from);
    return m_out ? count : 0;
  }

 private:
  std::ostream& m_out;
};

std::string percent_text(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    return "n/a";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.2f%%", *value);
  return text;
}

/// An address that may lie beyond 32 bits (the end of a range at the top).
std::string wide_hex(std::uint64_t value) {
  if (value <= 0xFFFFFFFFu) {
    return hex_address(static_cast<std::uint32_t>(value));
  }
  // Two 32-bit halves: MinGW's printf does not take every 64-bit format.
  char text[32];
  std::snprintf(text, sizeof text, "0x%X%08X", static_cast<unsigned>(value >> 32),
                static_cast<unsigned>(value & 0xFFFFFFFFu));
  return text;
}

/// Only fixed class names reach the page, whatever the status says.
const char* status_class(const std::string& status) {
  if (status.rfind("fail", 0) == 0) {
    return "status status-fail";
  }
  if (status.rfind("pass", 0) == 0) {
    return "status status-pass";
  }
  if (status.rfind("warn", 0) == 0) {
    return "status status-warn";
  }
  return "status";
}

void write_input_row(std::ostream& out, const char* role, const report_input& input) {
  out << "<tr><td>" << role << "</td><td class=\"mono\">" << html_text(input.path)
      << "</td><td class=\"num\">" << input.bytes << "</td><td class=\"mono\" title=\""
      << html_text(input.sha256) << "\">" << html_text(input.sha256.substr(0, 12))
      << "</td></tr>\n";
}

void write_header(std::ostream& out, const report_context& context,
                  const html_page_options& options) {
  out << "<header>\n<div class=\"report-head\"><h1>Memory usage: " << html_text(context.keyword)
      << " &middot; <span class=\"mono\">" << html_text(context.map.path) << "</span></h1>"
      << "<span class=\"" << status_class(options.status) << "\" id=\"status\">"
      << html_text(options.status) << "</span></div>\n";
  out << "<table class=\"inputs\"><thead><tr><th>input</th><th>file</th><th "
         "class=\"num\">bytes</th><th>sha256</th></tr></thead><tbody>\n";
  write_input_row(out, "memory definition", context.memory_definition);
  write_input_row(out, "map", context.map);
  if (context.eeprom_source) {
    write_input_row(out, "EEPROM source", *context.eeprom_source);
  }
  if (context.image) {
    write_input_row(out, "ELF image", *context.image);
  }
  out << "</tbody></table>\n<p class=\"note\">Written by " << html_text(context.tool_name) << ' '
      << html_text(context.tool_version) << " (report schema " << k_report_schema_version
      << ").</p>\n</header>\n";
}

void write_bar(std::ostream& out, const std::string& id, const range_usage& usage) {
  const std::uint64_t used = usage.used_rounded();
  const bool overfull = used > usage.range.size;
  const std::optional<double> pct = usage.used_pct();
  // A range of size 0 that holds something is as full as a bar gets.
  double width = overfull ? 100.0 : 0.0;
  if (!overfull && pct && std::isfinite(*pct)) {
    width = std::clamp(*pct, 0.0, 100.0);
  }
  char width_text[32];
  std::snprintf(width_text, sizeof width_text, "%.4f", width);
  const std::string pct_text = percent_text(pct);

  out << "<div class=\"range" << (overfull ? " overfull" : "") << "\" id=\"range-" << id << "\">\n"
      << "<div class=\"range-head\"><span class=\"range-id\">" << id << "</span>";
  if (usage.label) {
    out << "<span class=\"range-label\">" << html_text(*usage.label) << "</span>";
  }
  out << "<span class=\"range-span mono\">";
  if (usage.range.size == 0) {
    out << hex_address(usage.range.start) << ", empty";
  } else {
    out << hex_address(usage.range.start) << "&ndash;"
        << wide_hex(std::uint64_t{usage.range.start} + usage.range.size - 1);
  }
  out << "</span></div>\n"
      << "<div class=\"bar\" title=\"" << pct_text << " used\"><div class=\"bar-fill\" "
      << "style=\"width:" << width_text << "%\"></div></div>\n"
      << "<div class=\"range-figures\"><span>" << used << " / " << usage.range.size
      << " bytes used, " << plural_text(usage.section_count, "section", "sections")
      << "</span><span class=\"used-pct\">" << pct_text << "</span></div>\n";
  if (overfull) {
    out << "<div class=\"over-by\">overfull by "
        << plural_text(used - usage.range.size, "byte", "bytes") << "</div>\n";
  }
  out << "</div>\n";
}

void write_ranges(std::ostream& out, const memory_analysis& memory) {
  out << "<section id=\"ranges\">\n<h2>Ranges</h2>\n";
  if (memory.program_usage.empty() && memory.memory_usage.empty()) {
    out << "<p>No range.</p>\n</section>\n";
    return;
  }
  if (!memory.program_usage.empty()) {
    out << "<h3>Program</h3>\n<div class=\"ranges\">\n";
    for (std::size_t i = 0; i < memory.program_usage.size(); ++i) {
      write_bar(out, range_id(true, i), memory.program_usage[i]);
    }
    out << "</div>\n<p class=\"totals\">Program area: " << memory.program_used << " of "
        << memory.program_total << " bytes used (" << percent_text(memory.program_used_pct())
        << "), " << plural_text(memory.program_sections.size(), "section", "sections") << ".</p>\n";
  }
  if (!memory.memory_usage.empty()) {
    out << "<h3>Memory</h3>\n<div class=\"ranges\">\n";
    for (std::size_t i = 0; i < memory.memory_usage.size(); ++i) {
      write_bar(out, range_id(false, i), memory.memory_usage[i]);
    }
    out << "</div>\n<p class=\"totals\">Memory area: " << memory.memory_used_bytes << " bytes";
    if (memory.memory_used_bits > 0) {
      out << " and " << memory.memory_used_bits << " bits";
    }
    out << " of " << memory.memory_total << " bytes used ("
        << percent_text(memory.memory_used_pct()) << "), "
        << plural_text(memory.memory_sections.size(), "section", "sections") << ".</p>\n";
  }
  out << "</section>\n";
}

void write_groups(std::ostream& out, const memory_analysis& memory) {
  const search_breakdown& breakdown = memory.breakdown;
  if (breakdown.entries.empty()) {
    return;
  }
  const double program = static_cast<double>(memory.program_used);
  const auto share = [program](std::uint64_t bytes) {
    return percent_text(program == 0 ? std::nullopt
                                     : std::optional<double>(bytes * 100.0 / program));
  };
  out << "<section id=\"groups\">\n<h2>SEARCH groups</h2>\n<table><thead><tr><th "
         "class=\"num\">#</th><th>search</th><th class=\"num\">bytes</th><th class=\"num\">of "
         "program</th><th class=\"num\">sections</th></tr></thead><tbody>\n";
  for (std::size_t i = 0; i < breakdown.entries.size(); ++i) {
    const search_breakdown::entry& entry = breakdown.entries[i];
    out << "<tr><td class=\"num\">" << i << "</td><td class=\"mono\">" << html_text(entry.text)
        << "</td><td class=\"num\">" << entry.bytes << "</td><td class=\"num\">"
        << share(entry.bytes) << "</td><td class=\"num\">" << entry.sections.size()
        << "</td></tr>\n";
  }
  out << "<tr><td></td><td>accounted for in search</td><td class=\"num\">"
      << breakdown.accounted_exact << "</td><td class=\"num\">" << share(breakdown.accounted_exact)
      << "</td><td></td></tr>\n</tbody></table>\n";
  if (!breakdown.ambiguous.empty()) {
    out << "<p class=\"note\">"
        << plural_text(breakdown.ambiguous.size(), "ambiguous match", "ambiguous matches") << ", "
        << plural_text(breakdown.ambiguous_bytes_exact, "byte", "bytes")
        << " counted once only.</p>\n";
  }
  out << "</section>\n";
}

void write_map_and_table(std::ostream& out, const memory_analysis& memory) {
  out << "<section id=\"map\">\n<h2>Where the bytes go</h2>\n<div "
         "class=\"map-and-table\">\n<div>\n";
  const char* const symbols = memory.image.given ? ", symbol" : "";
  if (!memory.program_usage.empty()) {
    out << "<h3>Program: range, SEARCH group, section" << symbols << "</h3>\n"
        << "<div class=\"treemap program-kind\" id=\"treemap-program\"></div>\n"
        << "<div class=\"legend\" id=\"treemap-legend\"></div>\n";
  }
  if (!memory.memory_usage.empty()) {
    out << "<h3>Memory: range, section" << symbols << "</h3>\n"
        << "<div class=\"treemap memory-kind\" id=\"treemap-memory\"></div>\n";
  }
  out << "<noscript><p class=\"note\">The treemap and the section table are drawn by the "
         "page's script; the data is the JSON block at the end of this file.</p></noscript>\n"
      << "<p class=\"script-error\" id=\"script-error\" hidden></p>\n</div>\n<div>\n"
      << "<h3>Counted sections</h3>\n<div class=\"pager\" id=\"section-pager\"></div>\n"
      << "<div class=\"table-box\"><table class=\"sections\" "
         "id=\"section-table\"><thead><tr><th>name</th><th>range</th>"
         "<th>group</th><th class=\"num\">start</th><th class=\"num\">bytes</th><th "
         "class=\"num\">map line</th></tr></thead><tbody></tbody></table></div>\n</div>\n</div>\n"
         "</section>\n";
}

/// The symbol table of a run that read an image; the script fills it in from the data.
void write_symbol_table(std::ostream& out, const memory_analysis& memory) {
  if (!memory.image.given) {
    return;
  }
  out << "<section id=\"symbols\">\n<h2>Largest symbols</h2>\n"
      << "<p class=\"note\">" << plural_text(memory.symbols.size(), "symbol", "symbols")
      << " of the image in the counted sections. Program area: "
      << plural_text(memory.program_attributed, "byte", "bytes") << " attributed, "
      << plural_text(memory.program_unattributed(), "byte", "bytes")
      << " unattributed; memory area: " << plural_text(memory.memory_attributed, "byte", "bytes")
      << " attributed, " << plural_text(memory.memory_unattributed(), "byte", "bytes")
      << " unattributed.</p>\n"
      << "<input type=\"search\" class=\"symbol-search\" id=\"symbol-search\" "
         "placeholder=\"name contains\" aria-label=\"search the symbols by name\">\n"
      << "<div class=\"pager\" id=\"symbol-pager\"></div>\n"
      << "<div class=\"table-box\"><table class=\"sections symbols\" "
         "id=\"symbol-table\"><thead><tr><th>name</th><th>kind</th><th>binding</th>"
         "<th>section</th><th>range</th><th class=\"num\">bytes</th><th "
         "class=\"num\">size</th></tr></thead><tbody></tbody></table></div>\n</section>\n";
}

void write_dropped(std::ostream& out, const memory_analysis& memory) {
  out << "<section id=\"dropped\">\n<h2>Dropped sections</h2>\n";
  if (memory.dropped().sections == 0) {
    out << "<p>No section was dropped.</p>\n</section>\n";
    return;
  }
  out << "<table><thead><tr><th>reason</th><th class=\"num\">sections</th><th "
         "class=\"num\">bytes</th></tr></thead><tbody>\n";
  for (std::size_t i = 0; i < k_fate_count; ++i) {
    const auto fate = static_cast<section_fate>(i);
    const fate_sum& sum = memory.by_fate[i];
    if (!is_counted(fate) && sum.sections > 0) {
      out << "<tr><td class=\"mono\">" << fate_keyword(fate) << "</td><td class=\"num\">"
          << sum.sections << "</td><td class=\"num\">" << sum.bytes << "</td></tr>\n";
    }
  }
  out << "</tbody></table>\n<p class=\"note\">vemora-check explain --fate dropped lists every "
         "one with its map line.</p>\n</section>\n";
}

void write_rules(std::ostream& out, const html_page_options& options) {
  if (options.rules.empty()) {
    return;
  }
  out << "<section id=\"budget\">\n<h2>Budget</h2>\n<table class=\"rules\"><thead><tr>"
         "<th>target</th><th>limit</th><th class=\"num\">limit value</th><th "
         "class=\"num\">value</th><th>verdict</th><th>message</th></tr></thead><tbody>\n";
  for (const html_page_options::rule_row& rule : options.rules) {
    out << "<tr><td class=\"mono\">" << html_text(rule.target) << "</td><td class=\"mono\">"
        << html_text(rule.limit) << "</td><td class=\"num\">" << html_text(rule.limit_value)
        << "</td><td class=\"num\">" << html_text(rule.value) << "</td><td><span class=\""
        << status_class(rule.verdict) << "\">" << html_text(rule.verdict) << "</span></td><td>"
        << html_text(rule.message) << "</td></tr>\n";
  }
  out << "</tbody></table>\n</section>\n";
}

void write_diagnostics(std::ostream& out, const analysis_result& result,
                       const report_context& context) {
  // As in the JSON report: a failed run's messages follow the findings as errors.
  std::vector<report_diagnostic> diagnostics = context.diagnostics;
  for (const std::string& message : result.failure().messages) {
    diagnostics.push_back({"", "error", "", 0, 0, message});
  }
  out << "<section id=\"diagnostics\">\n<h2>Findings</h2>\n";
  if (diagnostics.empty()) {
    out << "<p>No finding.</p>\n</section>\n";
    return;
  }
  out << "<table><thead><tr><th>code</th><th>severity</th><th>where</th><th>message</th></tr>"
         "</thead><tbody>\n";
  for (const report_diagnostic& diagnostic : diagnostics) {
    std::string where = diagnostic.file;
    if (diagnostic.line > 0) {
      where += ':' + std::to_string(diagnostic.line);
      if (diagnostic.column > 0) {
        where += ':' + std::to_string(diagnostic.column);
      }
    }
    out << "<tr><td class=\"mono\">" << html_text(diagnostic.code) << "</td><td"
        << (diagnostic.severity == "error" ? " class=\"severity-error\"" : "") << '>'
        << html_text(diagnostic.severity) << "</td><td class=\"mono\">" << html_text(where)
        << "</td><td>" << html_text(diagnostic.message) << "</td></tr>\n";
  }
  out << "</tbody></table>\n</section>\n";
}
}  // namespace

void write_html_report(std::ostream& out, const analysis_result& result,
                       const report_context& context, const html_page_options& options) {
  const memory_analysis& memory = result.memory;
  // The policy forbids the page any load of its own: a name in the data can
  // never make it reach out.
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
         "style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      << "<title>Memory usage: " << html_text(context.keyword) << ", "
      << html_text(context.map.path) << "</title>\n<style>\n"
      << html_report_style() << "</style>\n</head>\n<body>\n";
  write_header(out, context, options);
  out << "<main>\n";
  write_rules(out, options);
  write_ranges(out, memory);
  // The change since the baseline right under the ranges it changed; the
  // script fills it in and shows it when the data holds a diff.
  out << "<section id=\"diff\" hidden>\n<h2>Change against the baseline (delta = current - "
         "base)</h2>\n<div id=\"diff-tables\"></div>\n</section>\n";
  write_map_and_table(out, memory);
  write_symbol_table(out, memory);
  write_groups(out, memory);
  write_dropped(out, memory);
  write_diagnostics(out, result, context);
  out << "</main>\n";

  out << "<script type=\"application/json\" id=\"vemora-report\">\n";
  c_script_safe_buffer safe(out);
  std::ostream json(&safe);
  write_json_report(json, result, context);
  if (!json) {
    out.setstate(std::ios::badbit);
  }
  out << "</script>\n<script>\n" << html_report_script() << "</script>\n</body>\n</html>\n";
}
