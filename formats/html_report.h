// The analysis as one HTML page that needs nothing else (no network, no
// server, no second file): a header, the fill bars of the ranges and the
// tables that need no script written here as plain HTML, the JSON report
// inlined as the page's data, and a built-in script that draws the treemap
// and the section table from it.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"
#include "formats/report_formats.h"

/// What the page says besides the analysis and the report context.
struct html_page_options {
  /// The status in the header: "report" for a plain report; a budget check
  /// gives its verdict. "pass", "warn" and "fail" (and words beginning so)
  /// are coloured.
  std::string status = "report";
  /// One row of a budget check's verdicts, as text made by the caller (so
  /// this page knows nothing of budgets).
  struct rule_row {
    std::string target;  ///< "ranges.program1"
    std::string limit;   ///< "max_used_pct"
    std::string limit_value;
    std::string value;    ///< empty when there is no figure
    std::string verdict;  ///< pass, warn, fail, skipped
    std::string message;
  };
  /// The budget's rules, shown as a table when there are any.
  std::vector<rule_row> rules;
};

/// The page. The analysis must have been made with collect_fates for the
/// treemap and the section table, as for the JSON report, which the page
/// carries whole in <script type="application/json" id="vemora-report"> with
/// every "<" written \u003c (so no name can end the block). All text is HTML
/// text (format_text.h: html_text). The script draws, from that block only,
/// one treemap per area (range, SEARCH group, section; one tile per counted
/// section, or with an image's symbols one tile per symbol and one of the
/// section's unattributed bytes), the section table, the searchable symbol
/// table (with an image), and, when the data has a "diff" key (the
/// "vemora-diff" object of report --baseline), tables of its totals, ranges,
/// groups and sections; then it sets data-status="ok" on the body ("error"
/// when it fails). Write failures show in the state of out.
void write_html_report(std::ostream& out, const analysis_result& result,
                       const report_context& context, const html_page_options& options = {});

/// The script and the style sheet the page is built with, as the repository
/// keeps them (formats/html_report.js, formats/html_report.css).
std::string_view html_report_script();
std::string_view html_report_style();
