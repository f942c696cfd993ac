#include "eep/run_eep_report.h"
#include "formats/lint_formats.h"
#include "formats/report_formats.h"
#include "library/analysis_state.h"
#include "library/sha256.h"
#include "lint/lint.h"
#include "memdef/definition_diagnostics.h"
#include "report/run_memory_report.h"
#include "vemora/report.h"

namespace vemora {
namespace {
const ::analysis_result& result_of(const analysis& made) {
  return detail::analysis_state::of(made).result;
}

/// The identity the caller gave, or the one of the input itself. An input
/// that cannot be read (the analysis then failed) has 0 bytes and the digest
/// of no bytes.
::report_input identity_of(const input& given, const std::optional<input_identity>& told) {
  if (told) {
    return {told->path, told->bytes, told->sha256};
  }
  ::report_input made;
  made.path = given.name();
  if (const std::optional<std::string_view> bytes = given.bytes()) {
    made.bytes = bytes->size();
    made.sha256 = detail::sha256_hex(*bytes);
  } else if (const auto digest = detail::sha256_of_file(given.name())) {
    made.bytes = digest->bytes;
    made.sha256 = digest->sha256;
  } else {
    made.sha256 = detail::sha256_hex({});
  }
  return made;
}

::report_context context_of(const analysis& made, const report_details& details) {
  const detail::analysis_state& state = detail::analysis_state::of(made);
  ::report_context context;
  context.tool_name = details.tool_name;
  context.tool_version = details.tool_version;
  context.keyword = std::string(keyword(state.format));
  context.memory_definition = identity_of(state.definition, details.definition);
  context.map = identity_of(state.map, details.map);
  if (state.eeprom_source) {
    context.eeprom_source = identity_of(*state.eeprom_source, details.eeprom_source);
  }
  // With the Elf format the map is the image and names it.
  if (state.elf) {
    context.image = identity_of(*state.elf, details.image);
  }
  // The lint's findings, as vemora-check reports them: the map's need every
  // section's fate.
  ::map_lint_input map;
  if (state.keep_sections) {
    map = {&state.result.memory, context.keyword, state.map.name()};
  }
  context.diagnostics = ::report_diagnostics_of(
      ::lint_findings(::diagnose_memory_def_file(detail::source_of(state.definition)),
                      state.definition.name(), map));
  return context;
}
}  // namespace

bool write_console(std::ostream& out, const analysis& result, const console_options& options) {
  const detail::analysis_state& state = detail::analysis_state::of(result);
  std::vector<std::string> protected_inputs;
  if (!state.definition.in_memory()) {
    protected_inputs.push_back(state.definition.name());
  }
  if (state.eeprom_source && !state.eeprom_source->in_memory()) {
    protected_inputs.push_back(state.eeprom_source->name());
  }
  if (state.elf && !state.elf->in_memory()) {
    protected_inputs.push_back(state.elf->name());
  }
  const bool write_file = options.write_result_file && !state.map.in_memory();
  if (!::print_memory_report(state.result.memory, out, state.map.name(), protected_inputs,
                             write_file)) {
    return false;
  }
  if (!options.eep_report || !state.result.has_eep) {
    return true;
  }
  return ::print_eep_report(state.result.eep, out);
}

void write_json(std::ostream& out, const analysis& result, const report_details& details) {
  ::write_json_report(out, result_of(result), context_of(result, details));
}

void write_sections_csv(std::ostream& out, const analysis& result) {
  ::write_sections_csv(out, result_of(result));
}

void write_ranges_csv(std::ostream& out, const analysis& result) {
  ::write_ranges_csv(out, result_of(result));
}

void write_markdown(std::ostream& out, const analysis& result, const report_details& details) {
  ::write_markdown_report(out, result_of(result), context_of(result, details));
}

}  // namespace vemora
