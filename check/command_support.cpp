#include "check/command_support.h"

#include <filesystem>
#include <optional>
#include <vector>

#include "app/version_config.h"
#include "check/file_digest.h"
#include "check/run_check.h"
#include "formats/lint_formats.h"
#include "lint/lint.h"
#include "text/file_system.h"

const char* const k_exit_codes =
    "Exit codes:\n"
    "  0  done (also when no section falls into any range: all are then dropped)\n"
    "  1  a check failed: lint, a finding at or above --fail-on; check, a budget\n"
    "     rule failed (or warned, with --warnings-as-errors)\n"
    "  2  usage error: unknown option or subcommand, missing argument, unknown keyword\n"
    "  3  input error: a file missing or unreadable, a definition file without any range\n"
    "     line, an EEPROM source whose scan fails, an output file that cannot be written,\n"
    "     a budget or report file that cannot be used (the key or the reason named)\n"
    "  4  internal error";

namespace {

bool has_finding(const definition_diagnosis& diagnosis, definition_finding_kind kind) {
  for (const definition_finding& finding : diagnosis.findings) {
    if (finding.kind == kind) {
      return true;
    }
  }
  return false;
}

void refuse_input_as_output(const std::string& output, const report_context& context) {
  std::vector<const std::string*> inputs = {&context.memory_definition.path, &context.map.path};
  if (context.eeprom_source) {
    inputs.push_back(&context.eeprom_source->path);
  }
  if (context.image) {
    inputs.push_back(&context.image->path);
  }
  refuse_overwriting_input(output, inputs);
}
}  // namespace

void refuse_overwriting_input(const std::string& output,
                              const std::vector<const std::string*>& inputs) {
  if (output == "-") {
    return;
  }
  for (const std::string* input : inputs) {
    std::error_code error;
    if (!input->empty() && std::filesystem::equivalent(output, *input, error) && !error) {
      throw check_error{check_exit_input,
                        output + ": is an input of this run and is not overwritten"};
    }
  }
}

std::string version_text() {
  return std::to_string(VEMORA_VERSION_MAJOR) + "." + std::to_string(VEMORA_VERSION_MINOR) + "." +
         std::to_string(VEMORA_VERSION_PATCH);
}

std::string keyword_list() {
  std::string list;
  for (const std::string_view keyword : k_type_keywords) {
    list += (list.empty() ? "" : ", ") + std::string(keyword);
  }
  return list;
}

void require_file(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    throw check_error{check_exit_input, path + ": no such file"};
  }
  if (std::filesystem::is_directory(status)) {
    throw check_error{check_exit_input, path + ": is a folder, not a file"};
  }
}

// The size and sha256 of an input, or the reason it cannot be used.
report_input examine_input(const std::string& path) {
  require_file(path);
  const std::optional<file_digest> digest = digest_file(path);
  if (!digest) {
    throw check_error{check_exit_input, path + ": cannot be read"};
  }
  return {path, digest->bytes, digest->sha256};
}

checked_inputs check_inputs(const input_options& inputs) {
  if (!is_known_keyword(inputs.keyword)) {
    throw check_error{check_exit_usage,
                      "unknown keyword \"" + inputs.keyword + "\" (known: " + keyword_list() + ")"};
  }
  if (!inputs.image.empty() && inputs.keyword == k_image_keyword) {
    throw check_error{check_exit_usage, "--elf is for a listing's keyword: with " +
                                            std::string(k_image_keyword) + " the map is the image"};
  }
  checked_inputs checked;
  report_context& context = checked.context;
  context.tool_version = version_text();
  context.keyword = inputs.keyword;
  context.memory_definition = examine_input(inputs.definition);
  context.map = examine_input(inputs.map);
  if (!inputs.eeprom.empty()) {
    context.eeprom_source = examine_input(inputs.eeprom);
  }
  if (!inputs.image.empty()) {
    context.image = examine_input(inputs.image);
  }
  checked.diagnosis = diagnose_memory_def_file(inputs.definition);
  context.diagnostics = report_diagnostics_of(lint_findings(checked.diagnosis, inputs.definition));
  return checked;
}

// The one analysis of a run; a failure becomes one line that names the file.
analysis_result analyse_inputs(const input_options& inputs, const checked_inputs& checked) {
  analysis_request request;
  request.type_keyword = inputs.keyword;
  request.definition_path = inputs.definition;
  request.map_path = inputs.map;
  request.eeprom_path = inputs.eeprom;
  request.image_keywords = true;
  request.image_path = inputs.image;
  request.collect_fates = true;
  analysis_result result = analyse(request);
  const analysis_failure& failure = result.failure();
  if (!failure.image_error.empty()) {
    const std::string& image = inputs.keyword == k_image_keyword ? inputs.map : inputs.image;
    throw check_error{check_exit_input, image + ": " + failure.image_error};
  }
  if (!failure.failed()) {
    // A map without a single line of a listing's shape is no empty listing:
    // a gate must not pass it as a build without sections.
    if (result.memory.form != map_form::listing) {
      throw check_error{check_exit_input,
                        inputs.map + ": " + no_listing_text(result.memory.form, inputs.keyword)};
    }
    return result;
  }
  if (failure.step == analysis_step::eep_report) {
    const bool opened = failure.messages.size() != 1 ||
                        failure.messages.front().find("Invalid eep file.") == std::string::npos;
    throw check_error{check_exit_input,
                      inputs.eeprom + (opened ? ": the scan ends before the line of "
                                                "_RuxEep_nTrippleDataFree"
                                              : ": cannot be opened")};
  }
  if (!checked.diagnosis.readable) {
    throw check_error{check_exit_input, inputs.definition + ": cannot be opened"};
  }
  if (has_finding(checked.diagnosis, definition_finding_kind::no_range_lines)) {
    throw check_error{check_exit_input, inputs.definition +
                                            ": holds no PROGRAM, MEMORY, EEPROM or RESERVED "
                                            "line, so it is no memory definition"};
  }
  throw check_error{check_exit_input, inputs.map + ": cannot be opened"};
}

void write_output(const output_request& request, const report_context& context, std::ostream& out) {
  if (request.path == "-") {
    request.write(out);
    out.flush();
    return;
  }
  refuse_input_as_output(request.path, context);
  // Into a temporary file that replaces the old one only when all of it is
  // written: a failed write leaves the earlier output whole.
  if (!write_whole_file(request.path, request.write, file_mode::binary)) {
    throw check_error{check_exit_input, request.path + ": cannot be written"};
  }
}

void require_image(const input_options& inputs, const std::string& what) {
  if (inputs.image.empty() && inputs.keyword != k_image_keyword &&
      is_known_keyword(inputs.keyword)) {
    throw check_error{check_exit_usage,
                      what +
                          " needs an image's symbols: pass --elf FILE (the linked ELF image of "
                          "the listing), or use the keyword " +
                          std::string(k_image_keyword) + " with the image as MAP"};
  }
}

void require_own_image(const memory_analysis& memory, const input_options& inputs) {
  if (memory.image.foreign()) {
    throw check_error{check_exit_input,
                      inputs.image + ": not one counted section of " + inputs.map +
                          " has a section of its name and address here: it is not this map's "
                          "image, so it gives no symbol"};
  }
}

void require_range(const memory_analysis& memory, const std::string& id,
                   const std::string& definition, const std::string& option) {
  std::string list;
  bool known = false;
  for (const bool program : {true, false}) {
    const std::size_t count = (program ? memory.program_usage : memory.memory_usage).size();
    for (std::size_t i = 0; i < count; ++i) {
      const std::string each = range_id(program, i);
      known = known || each == id;
      list += (list.empty() ? "" : ", ") + each;
    }
  }
  if (!known) {
    throw check_error{check_exit_usage, option + ": no range \"" + id + "\" in " + definition +
                                            " (its ranges: " + (list.empty() ? "none" : list) +
                                            ")"};
  }
}

void add_inputs(CLI::App& command, input_options& inputs, bool with_eeprom) {
  command.add_option("KEYWORD", inputs.keyword, "Map reader: " + keyword_list())->required();
  command.add_option("MEMDEF", inputs.definition, "Memory definition file")->required();
  command.add_option("MAP", inputs.map, "Linker map file")->required();
  if (with_eeprom) {
    command.add_option("EEPROM_SOURCE", inputs.eeprom, "EEPROM project source (EepPrj.src)");
  }
  command.add_option("--elf", inputs.image,
                     "The linked ELF image of the listing: its symbols are attributed to the "
                     "listing's sections");
}

bool is_known_keyword(const std::string& keyword) {
  for (const std::string_view known : k_type_keywords) {
    if (keyword == known) {
      return true;
    }
  }
  return false;
}
