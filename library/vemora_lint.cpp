#include <utility>

#include "formats/lint_formats.h"
#include "library/analysis_state.h"
#include "lint/lint.h"
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
}  // namespace

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
  if (what.format == map_format::elf && what.elf) {
    result.problem = what.elf->name() + ": " + detail::image_beside_image_reason();
    return result;
  }
  if (what.elf && !what.map) {
    result.problem = what.elf->name() + ": an image is linted beside a map only";
    return result;
  }
  std::optional<::input_source> map;
  if (what.map) {
    map = detail::source_of(*what.map);
  }
  std::optional<::input_source> image;
  if (what.elf) {
    image = detail::source_of(*what.elf);
  }
  ::lint_run run = ::lint_inputs(detail::source_of(what.definition), map,
                                 std::string(keyword(what.format)), image);
  const std::string reason = run.image_error.empty() ? "" : ": " + run.image_error;
  switch (run.unreadable) {
    case ::lint_unreadable::definition:
      result.problem = what.definition.name() + ": cannot be read";
      return result;
    case ::lint_unreadable::map:
      result.problem = what.map->name() + ": cannot be read" + reason;
      return result;
    case ::lint_unreadable::image:
      result.problem = what.elf->name() + ": cannot be read" + reason;
      return result;
    case ::lint_unreadable::none:
      break;
  }
  result.readable = true;
  for (::lint_finding& one : run.findings) {
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
