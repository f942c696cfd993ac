#include "check/summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "compare/compare_text.h"
#include "formats/format_text.h"
#include "formats/lint_formats.h"

namespace {
/// Errors and warnings listed in full; the rest are counted.
constexpr std::size_t k_summary_findings = 5;

// Two decimals, right-aligned to width; "-" for a percentage without divisor.
std::string percent_text(const std::optional<double>& pct, int width) {
  char text[64];
  if (!pct) {
    std::snprintf(text, sizeof text, "%*s", width, "-");
  } else {
    std::snprintf(text, sizeof text, "%*.2f%%", width - 1, *pct);
  }
  return text;
}

std::string padded(const std::string& text, std::size_t width, bool left) {
  if (text.size() >= width) {
    return text;
  }
  const std::string fill(width - text.size(), ' ');
  return left ? text + fill : fill + text;
}

void write_range(std::ostream& out, const std::string& id, const range_usage& usage) {
  out << "  " << padded(id, 10, true) << ' ' << hex_address(usage.range.start) << ' '
      << padded(std::to_string(usage.range.size), 11, false) << ' '
      << padded(std::to_string(usage.used_rounded()), 11, false) << ' '
      << padded(std::to_string(usage.free()), 11, false) << "  ["
      << fill_bar(usage.used_pct(), usage.used_rounded() > 0, k_fill_bar_width) << "] "
      << percent_text(usage.used_pct(), 8);
  if (usage.label) {
    out << "  " << compare_text::terminal_text(*usage.label);
  }
  out << '\n';
}

std::string sections_text(std::size_t count) { return plural_text(count, "section", "sections"); }

void write_dropped(std::ostream& out, const memory_analysis& memory) {
  const fate_sum dropped = memory.dropped();
  out << "\nDropped: " << sections_text(dropped.sections) << ", "
      << plural_text(dropped.bytes, "byte", "bytes") << '\n';
  if (dropped.sections == 0) {
    return;
  }
  out << "  " << padded("reason", 20, true) << padded("sections", 10, false)
      << padded("bytes", 13, false) << '\n';
  for (std::size_t i = 0; i < k_fate_count; ++i) {
    const auto fate = static_cast<section_fate>(i);
    const fate_sum& sum = memory.by_fate[i];
    if (is_counted(fate) || sum.sections == 0) {
      continue;
    }
    out << "  " << padded(std::string(fate_keyword(fate)), 20, true)
        << padded(std::to_string(sum.sections), 10, false)
        << padded(std::to_string(sum.bytes), 13, false) << '\n';
  }
}

// The count by severity, then the errors and the warnings (errors first),
// each in the order the lint gives them; notes are only counted.
void write_findings(std::ostream& out, const std::vector<report_diagnostic>& diagnostics) {
  severity_counts counts;
  std::vector<const report_diagnostic*> listed;
  for (const char* severity : {"error", "warning"}) {
    for (const report_diagnostic& diagnostic : diagnostics) {
      if (diagnostic.severity == severity) {
        listed.push_back(&diagnostic);
      }
    }
  }
  for (const report_diagnostic& diagnostic : diagnostics) {
    counts.errors += diagnostic.severity == "error" ? 1 : 0;
    counts.warnings += diagnostic.severity == "warning" ? 1 : 0;
    counts.notes += diagnostic.severity == "note" ? 1 : 0;
  }
  out << "\nFindings: " << severity_count_line(counts) << '\n';
  for (std::size_t i = 0; i < listed.size() && i < k_summary_findings; ++i) {
    const report_diagnostic& diagnostic = *listed[i];
    out << "  " << padded(diagnostic.severity, 7, true) << ' ' << diagnostic.code << ' '
        << compare_text::terminal_text(diagnostic.file);
    if (diagnostic.line != 0) {
      out << ':' << diagnostic.line;
    }
    out << ": " << compare_text::terminal_text(diagnostic.message) << '\n';
  }
  if (listed.size() > k_summary_findings) {
    out << "  ... and " << listed.size() - k_summary_findings << " more (vemora-check lint)\n";
  }
}
}  // namespace

std::string fill_bar(const std::optional<double>& used_pct, bool anything_used, std::size_t width) {
  std::size_t filled = 0;
  if (used_pct && std::isfinite(*used_pct)) {
    const double cells = std::round(*used_pct / 100.0 * static_cast<double>(width));
    filled = cells <= 0 ? 0 : std::min(width, static_cast<std::size_t>(cells));
  } else if (anything_used) {
    filled = width;  // something used in a range of size 0: as full as it gets
  }
  if (anything_used && filled == 0) {
    filled = 1;
  }
  return std::string(filled, '#') + std::string(width - filled, '.');
}

void write_summary(std::ostream& out, const analysis_result& result,
                   const report_context& context) {
  const memory_analysis& memory = result.memory;
  out << context.keyword << (context.keyword == k_image_keyword ? " image " : " listing ")
      << compare_text::terminal_text(context.map.path) << ", memory definition "
      << compare_text::terminal_text(context.memory_definition.path) << "\n\n";

  out << "  " << padded("range", 10, true) << ' ' << padded("start", 10, true) << ' '
      << padded("size", 11, false) << ' ' << padded("used", 11, false) << ' '
      << padded("free", 11, false) << "  " << padded("fill", k_fill_bar_width + 2, true) << ' '
      << padded("used", 8, false) << '\n';
  for (std::size_t i = 0; i < memory.program_usage.size(); ++i) {
    write_range(out, range_id(true, i), memory.program_usage[i]);
  }
  for (std::size_t i = 0; i < memory.memory_usage.size(); ++i) {
    write_range(out, range_id(false, i), memory.memory_usage[i]);
  }

  out << "\nProgram area: " << memory.program_used << " of " << memory.program_total
      << " bytes used (" << percent_text(memory.program_used_pct(), 0) << "), "
      << sections_text(memory.program_sections.size()) << '\n';
  out << "Memory area:  " << memory.memory_used_bytes << " bytes";
  if (memory.memory_used_bits > 0) {
    out << " and " << memory.memory_used_bits << " bits";
  }
  out << " of " << memory.memory_total << " bytes used ("
      << percent_text(memory.memory_used_pct(), 0) << "), "
      << sections_text(memory.memory_sections.size()) << '\n';

  write_dropped(out, memory);
  write_findings(out, context.diagnostics);
}
