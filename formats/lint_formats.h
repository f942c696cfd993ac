// The faces of a lint: compiler-style text lines with a count by severity,
// GitHub workflow commands that annotate the files' lines in a CI run, and
// JSON with the keys of the report's diagnostics. The findings come from the
// lint library; these writers add nothing to them but their form.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "formats/report_formats.h"
#include "lint/lint.h"

/// A finding as the JSON report lists it.
report_diagnostic report_diagnostic_of(const lint_finding& finding);
std::vector<report_diagnostic> report_diagnostics_of(const std::vector<lint_finding>& findings);

/// One line per finding, "FILE:LINE:COLUMN: SEVERITY: MESSAGE [CODE]" ("FILE:
/// SEVERITY: ..." for one about the whole file), then the count line.
void write_lint_text(std::ostream& out, const std::vector<lint_finding>& findings);

/// "2 errors, 1 warning, 0 notes": every severity, always all three.
std::string severity_count_line(const severity_counts& counts);

/// One workflow command per finding: "::warning file=F,line=L,col=C,title=CODE::MESSAGE"
/// (::error, ::notice), line and col left out for a finding about the whole file.
void write_lint_github(std::ostream& out, const std::vector<lint_finding>& findings);

/// {"diagnostics": [...]}, as write_json_diagnostics writes it.
void write_lint_json(std::ostream& out, const std::vector<lint_finding>& findings);
