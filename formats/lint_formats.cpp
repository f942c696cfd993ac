#include "formats/lint_formats.h"

#include "formats/format_text.h"

namespace {
const char* github_command(finding_severity severity) {
  switch (severity) {
    case finding_severity::error:
      return "error";
    case finding_severity::warning:
      return "warning";
    case finding_severity::note:
      return "notice";
  }
  return "error";
}

std::string count_text(std::size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

report_diagnostic report_diagnostic_of(const lint_finding& finding) {
  return {finding.code,   std::string(severity_name(finding.severity)),
          finding.file,   finding.line,
          finding.column, finding.message};
}

std::vector<report_diagnostic> report_diagnostics_of(const std::vector<lint_finding>& findings) {
  std::vector<report_diagnostic> diagnostics;
  diagnostics.reserve(findings.size());
  for (const lint_finding& finding : findings) {
    diagnostics.push_back(report_diagnostic_of(finding));
  }
  return diagnostics;
}

std::string severity_count_line(const severity_counts& counts) {
  return count_text(counts.errors, "error") + ", " + count_text(counts.warnings, "warning") + ", " +
         count_text(counts.notes, "note");
}

void write_lint_text(std::ostream& out, const std::vector<lint_finding>& findings) {
  for (const lint_finding& finding : findings) {
    out << finding.file << ':';
    if (finding.line != 0) {
      out << finding.line << ':' << finding.column << ':';
    }
    out << ' ' << severity_name(finding.severity) << ": " << finding.message << " [" << finding.code
        << "]\n";
  }
  out << severity_count_line(count_by_severity(findings)) << '\n';
}

void write_lint_github(std::ostream& out, const std::vector<lint_finding>& findings) {
  for (const lint_finding& finding : findings) {
    out << "::" << github_command(finding.severity) << " file=" << github_property(finding.file);
    if (finding.line != 0) {
      out << ",line=" << finding.line << ",col=" << finding.column;
    }
    out << ",title=" << github_property(finding.code) << "::" << github_message(finding.message)
        << '\n';
  }
}

void write_lint_json(std::ostream& out, const std::vector<lint_finding>& findings) {
  write_json_diagnostics(out, report_diagnostics_of(findings));
}
