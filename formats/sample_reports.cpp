// Writes the JSON reports of the bundled examples and of edge cases into a
// folder, for the schema check that runs on them: a program of its own, so
// that the check also covers the Windows build (run under Wine). A sample
// with a baseline map carries the diff that report --baseline adds. Each
// report's diagnostics are the lint's findings on its inputs, and the lint's
// own document of them is written into lint/ beside the reports.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "compare/report_diff.h"
#include "formats/lint_formats.h"
#include "formats/report_formats.h"
#include "lint/lint.h"
#include "memdef/definition_diagnostics.h"

namespace fs = std::filesystem;

namespace {
struct sample {
  std::string name;
  std::string keyword;
  fs::path definition;
  fs::path map;
  fs::path eeprom;  ///< empty: none
  fs::path image;   ///< --elf beside a listing; empty: none (with Elf the map is the image)
};

bool write_text(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

report_input input_of(const fs::path& path) {
  report_input input;
  input.path = path.filename().string();
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  input.bytes = error ? 0 : static_cast<std::uint64_t>(size);
  input.sha256 = std::string(64, '0');  // the program hashes; the schema only wants the shape
  return input;
}

analysis_result analyse_map(const sample& s, const fs::path& map) {
  analysis_request request;
  request.type_keyword = s.keyword;
  request.definition_path = s.definition.string();
  request.map_path = map.string();
  request.collect_fates = true;
  return analyse(request);
}

analysis_result analyse_sample(const sample& s) {
  analysis_request request;
  request.type_keyword = s.keyword;
  request.definition_path = s.definition.string();
  request.map_path = s.map.string();
  request.eeprom_path = s.eeprom.empty() ? std::string() : s.eeprom.string();
  request.image_keywords = true;
  request.image_path = s.image.empty() ? std::string() : s.image.string();
  request.collect_fates = true;
  return analyse(request);
}

/// The vemora-diff document of two samples, as diff --format json writes it, into diff/.
bool write_diff_sample(const fs::path& folder, const std::string& name, const sample& base,
                       const sample& current) {
  const report_diff diff = compute_diff(model_of_analysis(analyse_sample(base)),
                                        model_of_analysis(analyse_sample(current)));
  std::ofstream out(folder / "diff" / (name + ".json"), std::ios::binary);
  write_diff_json(out, diff);
  return static_cast<bool>(out);
}

/// baseline_map: none for a report without a diff, else the map of the baseline build.
bool write_sample(const sample& s, const fs::path& folder, const fs::path& baseline_map = {}) {
  const analysis_result result = analyse_sample(s);

  report_context context;
  context.tool_version = "0.0.0";
  context.keyword = s.keyword;
  context.memory_definition = input_of(s.definition);
  context.map = input_of(s.map);
  if (!s.eeprom.empty()) {
    context.eeprom_source = input_of(s.eeprom);
  }
  if (!s.image.empty()) {
    context.image = input_of(s.image);
  }
  const std::vector<lint_finding> findings =
      lint_findings(diagnose_memory_def_file(s.definition.string()), context.memory_definition.path,
                    {&result.memory, s.keyword, context.map.path});
  context.diagnostics = report_diagnostics_of(findings);
  // Every report has one, whether or not its inputs have a trap.
  context.diagnostics.push_back({"VL000", "note", context.memory_definition.path, 1, 1, "sample"});
  std::ofstream lint(folder / "lint" / (s.name + ".json"), std::ios::binary);
  write_lint_json(lint, findings);
  if (!lint) {
    return false;
  }
  if (!baseline_map.empty()) {
    const report_diff diff =
        compute_diff(model_of_analysis(analyse_map(s, baseline_map)), model_of_analysis(result));
    std::ostringstream text;
    write_diff_json(text, diff, "  ");
    context.diff_json = text.str();
  }
  std::ofstream out(folder / (s.name + ".json"), std::ios::binary);
  write_json_report(out, result, context);
  return static_cast<bool>(out);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: write_sample_reports SOURCE_DIR OUTPUT_DIR\n";
    return 2;
  }
  const fs::path source = argv[1];
  const fs::path folder = argv[2];
  const fs::path inputs = folder / "inputs";
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(inputs, error);
  fs::create_directories(folder / "lint", error);
  fs::create_directories(folder / "diff", error);
  if (error) {
    std::cerr << "cannot create " << inputs.string() << "\n";
    return 1;
  }

  // A definition of ranges of size 0 only: every percentage is a null.
  bool written = write_text(inputs / "zero.def",
                            "PROGRAM 0x00000000 0x00000000 // empty flash\n"
                            "MEMORY  0x02BF0000 0x00000000\n"
                            "SEARCH .text\n");
  const std::string listing_head =
      "elxr section listing\nImage: odd.elf\n\nSections:\n"
      "Idx Name            Size      VMA       LMA       File off  Algn\n";
  written &= write_text(inputs / "zero.map",
                        listing_head +
                            "  0 .text           00000010  00000000  00000000  00000100  2**2\n"
                            "                    CONTENTS, ALLOC, LOAD, READONLY, CODE\n");
  // Names with a Latin-1 byte, a stray continuation byte, a cut sequence,
  // an encoded surrogate, valid multi-byte text, quotes and backslashes.
  written &= write_text(inputs / "odd.def",
                        "PROGRAM 0x00000000 0x00001000 // Fl\xe4sh \"boot\" \\ area\n"
                        "MEMORY  0x02BF0000 0x00000100\n"
                        "SEARCH caf\n");
  written &= write_text(
      inputs / "odd.map",
      listing_head +
          "  0 .caf\xe9           00000010  00000000  00000000  00000100  2**2\n"
          "                    CONTENTS, ALLOC, LOAD, READONLY, CODE\n"
          "  1 .x\x80y            00000010  00000010  00000010  00000100  2**2\n"
          "                    CONTENTS, ALLOC, LOAD, READONLY, CODE\n"
          "  2 .cut\xe2\x82         00000010  00000020  00000020  00000100  2**2\n"
          "                    CONTENTS, ALLOC, LOAD, READONLY, CODE\n"
          "  3 .sur\xed\xa0\x80       00000010  00000030  00000030  00000100  2**2\n"
          "                    CONTENTS, ALLOC, LOAD, READONLY, CODE\n"
          "  4 .\xe2\x82\xac\xf0\x9f\x98\x80         00000010  00000040  00000040  00000100  2**2\n"
          "                    CONTENTS, ALLOC, LOAD, READONLY, CODE\n"
          "  5 .q\"b\\s          00000010  febf0000  febf0000  00000100  2**2\n"
          "                    CONTENTS, ALLOC, LOAD, DATA\n"
          "  6 .far            00000010  00100000  00100000  00000100  2**2\n"
          "                    CONTENTS, ALLOC, LOAD, DATA\n");
  if (!written) {
    std::cerr << "cannot write the edge-case inputs into " << inputs.string() << "\n";
    return 1;
  }

  const fs::path examples = source / "examples";
  const fs::path golden = source / "tests" / "golden";
  const std::vector<sample> samples = {
      {"example_mem32",
       "Tev2_mem32_unlimited",
       examples / "mem32" / "memory.def",
       examples / "mem32" / "firmware.map",
       {},
       {}},
      {"example_orm6",
       "Orm6",
       examples / "orm6" / "memory.def",
       examples / "orm6" / "firmware.map",
       {},
       {}},
      {"example_orm8",
       "Orm8",
       examples / "orm8" / "memory.def",
       examples / "orm8" / "firmware.map",
       {},
       {}},
      {"example_pux4",
       "Pux4",
       examples / "pux4" / "memory.def",
       examples / "pux4" / "firmware.map",
       {},
       {}},
      {"example_tev2",
       "Tev2",
       examples / "tev2" / "memory.def",
       examples / "tev2" / "firmware.map",
       examples / "tev2" / "EepPrj.src",
       {}},
      {"no_section_in_range",
       "Tev2",
       golden / "tev2_no_section_in_range" / "memory.def",
       golden / "tev2_no_section_in_range" / "other_target.map",
       {},
       {}},
      {"zero_size_ranges", "Tev2", inputs / "zero.def", inputs / "zero.map", {}, {}},
      {"odd_names", "Tev2", inputs / "odd.def", inputs / "odd.map", {}, {}},
      {"failed_memory_side", "Tev2", inputs / "zero.def", inputs / "missing.map", {}, {}},
      // The symbols of a linked image: the image as the map, and beside its listing.
      {"image_cortex_m",
       "Elf",
       examples / "cortex-m" / "memory.def",
       examples / "cortex-m" / "firmware.elf",
       {},
       {}},
      {"image_beside_listing",
       "Tev2_mem32_unlimited",
       examples / "cortex-m" / "memory.def",
       examples / "cortex-m" / "firmware.lst",
       {},
       examples / "cortex-m" / "firmware.elf"},
  };
  int status = 0;
  for (const sample& s : samples) {
    if (!write_sample(s, folder)) {
      std::cerr << "cannot write " << s.name << ".json\n";
      status = 1;
    }
  }
  // Reports with the diff since a baseline build: the next build of the
  // Tev2 example, and the odd names against a build of one section.
  const std::vector<std::pair<sample, fs::path>> with_baseline = {
      {{"example_tev2_next_with_diff",
        "Tev2",
        examples / "tev2" / "memory.def",
        examples / "tev2-next" / "firmware.map",
        {},
        {}},
       examples / "tev2" / "firmware.map"},
      {{"odd_names_with_diff", "Tev2", inputs / "odd.def", inputs / "odd.map", {}, {}},
       inputs / "zero.map"},
  };
  for (const auto& [s, baseline_map] : with_baseline) {
    if (!write_sample(s, folder, baseline_map)) {
      std::cerr << "cannot write " << s.name << ".json\n";
      status = 1;
    }
  }
  // diff --format json documents: two builds without symbols, an image against itself, a
  // listing against the same build with its image; and the hand-written document of the
  // writer's test, which holds a row of every symbol status.
  const auto named = [&samples](const std::string& name) {
    return *std::find_if(samples.begin(), samples.end(),
                         [&name](const sample& s) { return s.name == name; });
  };
  const sample image = named("image_cortex_m");
  const sample beside = named("image_beside_listing");
  const sample listing_only{"listing", beside.keyword, beside.definition, beside.map, {}, {}};
  const sample tev2{
      "tev2", "Tev2", examples / "tev2" / "memory.def", examples / "tev2" / "firmware.map", {}, {}};
  const sample tev2_next{"tev2_next",
                         "Tev2",
                         examples / "tev2" / "memory.def",
                         examples / "tev2-next" / "firmware.map",
                         {},
                         {}};
  const std::vector<std::pair<std::string, std::pair<const sample*, const sample*>>> diffs = {
      {"tev2_to_next", {&tev2, &tev2_next}},
      {"image_to_itself", {&image, &image}},
      {"listing_to_image", {&listing_only, &beside}},
  };
  for (const auto& [name, pair] : diffs) {
    if (!write_diff_sample(folder, name, *pair.first, *pair.second)) {
      std::cerr << "cannot write diff/" << name << ".json\n";
      status = 1;
    }
  }
  std::error_code copied;
  fs::copy_file(source / "compare" / "testdata" / "symbol_diff.json",
                folder / "diff" / "symbol_diff.json", copied);
  if (copied) {
    std::cerr << "cannot copy symbol_diff.json\n";
    status = 1;
  }
  return status;
}
