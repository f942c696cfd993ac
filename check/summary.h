// The short report for people that `vemora-check report` prints when no
// format is asked for: each range with a fill bar of plain characters, the
// area totals, the dropped bytes by reason, and the lint's findings counted
// with the first errors and warnings. Every figure is the analysis's own;
// only the bar's length is worked out here.
#pragma once

#include <ostream>
#include <string>

#include "analysis/analysis.h"
#include "formats/report_formats.h"

/// The bar of a fill level: width cells, '#' for used and '.' for free,
/// at least one '#' when anything is used, all '#' when full or overfull.
std::string fill_bar(const std::optional<double>& used_pct, bool anything_used, std::size_t width);

constexpr std::size_t k_fill_bar_width = 20;

void write_summary(std::ostream& out, const analysis_result& result, const report_context& context);
