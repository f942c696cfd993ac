#include <utility>

#include "analysis/analysis.h"
#include "formats/lint_formats.h"
#include "library/analysis_state.h"
#include "lint/lint.h"
#include "memdef/definition_diagnostics.h"
#include "vemora/lint.h"

namespace vemora {
namespace {
static_assert(static_cast<int>(severity::error) == static_cast<int>(::finding_severity::error) &&
                  static_cast<int>(severity::warning) ==
                      static_cast<int>(::finding_severity::warning) &&
                  static_cast<int>(severity::note) == static_cast<int>(::finding_severity::note),
              "the public severities must match the internal ones");

::finding_severity internal_severity(severity level) {
  return static_cast<::finding_severity>(level);
}

finding public_finding(::lint_finding internal) {
  return {std::move(internal.code), static_cast<severity>(internal.severity),
          std::move(internal.file), internal.line,
          internal.column,          std::move(internal.message)};
}

std::vector<::lint_finding> internal_findings(const lint_result& result) {
  std::vector<::lint_finding> made;
  made.reserve(result.findings.size());
  for (const finding& one : result.findings) {
    made.push_back(
        {one.code, internal_severity(one.level), one.file, one.line, one.column, one.message});
  }
  return made;
}

bool refuses_every_range(const ::definition_diagnosis& diagnosis) {
  for (const ::definition_finding& one : diagnosis.findings) {
    if (one.kind == ::definition_finding_kind::no_range_lines) {
      return true;
    }
  }
  return false;
}
}  // namespace

namespace detail {
::definition_diagnosis diagnosis_of(const input& definition) {
  if (const std::optional<std::string_view> bytes = definition.bytes()) {
    return ::diagnose_memory_def_text(*bytes);
  }
  return ::diagnose_memory_def_file(definition.name());
}
}  // namespace detail

std::string_view keyword(severity level) { return ::severity_name(internal_severity(level)); }

std::size_t lint_result::count(severity level) const {
  std::size_t counted = 0;
  for (const finding& one : findings) {
    counted += one.level == level ? 1 : 0;
  }
  return counted;
}

bool lint_result::has_at_least(severity threshold) const {
  for (const finding& one : findings) {
    if (::at_least(internal_severity(one.level), internal_severity(threshold))) {
      return true;
    }
  }
  return false;
}

lint_result lint(const lint_request& what) {
  lint_result result;
  const ::definition_diagnosis diagnosis = detail::diagnosis_of(what.definition);
  if (!diagnosis.readable) {
    result.problem = what.definition.name() + ": cannot be read";
    return result;
  }
  ::memory_analysis analysis;
  ::map_lint_input map;
  if (what.map && !refuses_every_range(diagnosis)) {
    ::analysis_request request;
    request.type_keyword = std::string(keyword(what.format));
    request.definition_path = what.definition.name();
    request.definition_text = what.definition.bytes();
    request.map_path = what.map->name();
    request.map_text = what.map->bytes();
    request.collect_fates = true;
    analysis = ::analyse_memory(request);
    if (analysis.failure.failed()) {
      result.problem = what.map->name() + ": cannot be read";
      return result;
    }
    map = {&analysis, request.type_keyword, what.map->name()};
  }
  result.readable = true;
  for (::lint_finding& one : ::lint_findings(diagnosis, what.definition.name(), map)) {
    result.findings.push_back(public_finding(std::move(one)));
  }
  return result;
}

void write_lint_text(std::ostream& out, const lint_result& result) {
  ::write_lint_text(out, internal_findings(result));
}

void write_lint_github(std::ostream& out, const lint_result& result) {
  ::write_lint_github(out, internal_findings(result));
}

void write_lint_json(std::ostream& out, const lint_result& result) {
  ::write_lint_json(out, internal_findings(result));
}

}  // namespace vemora
