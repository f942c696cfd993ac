// The public library against what it promises: inputs held in memory give
// every report exactly as the same files do (each bundled example, each map
// format), the console report is the vemora program's, analyses run at once on
// threads, and the accessors give the figures of a small hand-made example.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/analysis.h"
#include "app/run_app.h"
#include "check/check_test_run.h"
#include "library/sha256.h"
#include "tests/test_support.h"
#include "vemora/vemora.h"

namespace {

struct bundled_example {
  vemora::map_format format;
  const char* folder;
  bool has_eeprom;
};

const bundled_example k_examples[] = {
    {vemora::map_format::orm6, "orm6", false},
    {vemora::map_format::tev2, "tev2", true},
    {vemora::map_format::tev2_mem32_unlimited, "mem32", false},
    {vemora::map_format::orm8, "orm8", false},
    {vemora::map_format::pux4, "pux4", false},
};

std::string example_file(const bundled_example& example, const char* name) {
  return test_support::source_dir() + "/examples/" + example.folder + "/" + name;
}

/// Every face of an analysis as text.
struct faces {
  bool console_ok = false;
  std::string console;
  std::string json;
  std::string sections_csv;
  std::string ranges_csv;
  std::string markdown;
};

faces faces_of(const vemora::analysis& made) {
  faces result;
  std::ostringstream console;
  result.console_ok = vemora::write_console(console, made);
  result.console = console.str();
  std::ostringstream json;
  vemora::write_json(json, made);
  result.json = json.str();
  std::ostringstream sections;
  vemora::write_sections_csv(sections, made);
  result.sections_csv = sections.str();
  std::ostringstream ranges;
  vemora::write_ranges_csv(ranges, made);
  result.ranges_csv = ranges.str();
  std::ostringstream markdown;
  vemora::write_markdown(markdown, made);
  result.markdown = markdown.str();
  return result;
}

void expect_same_faces(const faces& got, const faces& expected, const std::string& what) {
  EXPECT_EQ(got.console_ok, expected.console_ok) << what;
  EXPECT_EQ(got.console, expected.console) << what;
  EXPECT_EQ(got.json, expected.json) << what;
  EXPECT_EQ(got.sections_csv, expected.sections_csv) << what;
  EXPECT_EQ(got.ranges_csv, expected.ranges_csv) << what;
  EXPECT_EQ(got.markdown, expected.markdown) << what;
}

vemora::request file_request(const bundled_example& example) {
  vemora::request request;
  request.format = example.format;
  request.definition = vemora::input::file(example_file(example, "memory.def"));
  request.map = vemora::input::file(example_file(example, "firmware.map"));
  if (example.has_eeprom) {
    request.eeprom_source = vemora::input::file(example_file(example, "EepPrj.src"));
  }
  return request;
}

TEST(Library, TextsInMemoryGiveWhatTheFilesGive) {
  for (const bundled_example& example : k_examples) {
    const vemora::request from_files = file_request(example);
    const vemora::analysis by_files = vemora::analyse(from_files);
    ASSERT_TRUE(by_files.ok()) << example.folder;
    ASSERT_TRUE(by_files.has_sections()) << example.folder;
    const faces expected = faces_of(by_files);

    // Kept texts, named as the files, so that even the reports' inputs agree.
    vemora::request kept = from_files;
    kept.definition = vemora::input::text(test_support::read_file(from_files.definition.name()),
                                          from_files.definition.name());
    kept.map =
        vemora::input::text(test_support::read_file(from_files.map.name()), from_files.map.name());
    if (example.has_eeprom) {
      kept.eeprom_source =
          vemora::input::text(test_support::read_file(from_files.eeprom_source->name()),
                              from_files.eeprom_source->name());
    }
    ASSERT_TRUE(kept.map.in_memory());
    expect_same_faces(faces_of(vemora::analyse(kept)), expected,
                      std::string(example.folder) + " kept");

    // Viewed texts that the caller holds.
    const std::string definition = test_support::read_file(from_files.definition.name());
    const std::string map = test_support::read_file(from_files.map.name());
    const std::string eeprom =
        example.has_eeprom ? test_support::read_file(from_files.eeprom_source->name()) : "";
    vemora::request viewed = from_files;
    viewed.definition = vemora::input::view(definition, from_files.definition.name());
    viewed.map = vemora::input::view(map, from_files.map.name());
    if (example.has_eeprom) {
      viewed.eeprom_source = vemora::input::view(eeprom, from_files.eeprom_source->name());
    }
    expect_same_faces(faces_of(vemora::analyse(viewed)), expected,
                      std::string(example.folder) + " viewed");
  }
}

TEST(Library, AListingInMemoryReadInStretchesGivesWhatItsFileGives) {
  // Stretches of 256 bytes on four threads: the in-memory stretch path.
  const bundled_example& tev2 = k_examples[1];
  analysis_request from_file;
  from_file.type_keyword = "Tev2";
  from_file.definition_path = example_file(tev2, "memory.def");
  from_file.map_path = example_file(tev2, "firmware.map");
  from_file.collect_fates = true;
  from_file.stretching.stretch_bytes = 256;
  from_file.stretching.max_threads = 4;
  const std::string map = test_support::read_file(from_file.map_path);
  analysis_request in_memory = from_file;
  in_memory.map_text = map;
  in_memory.map_path.clear();  // the text needs no name

  analysis_request at_once = from_file;
  at_once.stretching.max_threads = 1;
  const analysis_result expected = analyse(at_once);
  for (const analysis_request* request : {&from_file, &in_memory}) {
    const analysis_result got = analyse(*request);
    ASSERT_FALSE(got.failure().failed());
    ASSERT_EQ(got.memory.fates.size(), expected.memory.fates.size());
    for (std::size_t i = 0; i < got.memory.fates.size(); ++i) {
      EXPECT_EQ(got.memory.fates[i].name.str(), expected.memory.fates[i].name.str()) << i;
      EXPECT_EQ(got.memory.fates[i].map_line, expected.memory.fates[i].map_line) << i;
      EXPECT_EQ(got.memory.fates[i].fate, expected.memory.fates[i].fate) << i;
    }
    EXPECT_EQ(got.memory.program_used, expected.memory.program_used);
    EXPECT_EQ(got.memory.memory_used_bytes, expected.memory.memory_used_bytes);
  }
}

/// A copy of the Tev2 example's inputs in a folder of its own: its SEARCH
/// entries match a name twice, so a run may write the result file beside it.
vemora::request tev2_copy_request(const test_support::scoped_temp_dir& dir) {
  const bundled_example& tev2 = k_examples[1];
  vemora::request request;
  request.format = tev2.format;
  for (const char* name : {"memory.def", "firmware.map", "EepPrj.src"}) {
    dir.write(name, test_support::read_file(example_file(tev2, name)));
  }
  request.definition = vemora::input::file(dir.file("memory.def"));
  request.map = vemora::input::file(dir.file("firmware.map"));
  request.eeprom_source = vemora::input::file(dir.file("EepPrj.src"));
  return request;
}

TEST(Library, ConsoleReportIsTheProgramsAfterItsBanner) {
  test_support::scoped_temp_dir program_dir;
  const vemora::request request = tev2_copy_request(program_dir);
  const std::string definition = request.definition.name();
  const std::string map = request.map.name();
  const std::string eeprom = request.eeprom_source->name();
  const char* const argv[] = {"vemora", "Tev2", definition.c_str(), map.c_str(), eeprom.c_str()};
  std::ostringstream program;
  ASSERT_EQ(run_app(5, argv, program), exit_success);
  const std::string program_result_file = test_support::read_file(program_dir.file("Vemora.amb"));
  ASSERT_FALSE(program_result_file.empty());
  // The banner (when the program can read its version values) and an empty
  // line come first; the report begins with its line of stars.
  const std::string printed = program.str();
  const std::size_t report = printed.find("\n*");
  ASSERT_NE(report, std::string::npos) << printed;

  test_support::scoped_temp_dir library_dir;
  const vemora::analysis made = vemora::analyse(tev2_copy_request(library_dir));
  std::ostringstream library;
  EXPECT_TRUE(vemora::write_console(library, made));
  // The program's text names the result file in its own folder.
  std::string expected = printed.substr(report + 1);
  const std::size_t folder = expected.find(program_dir.path());
  ASSERT_NE(folder, std::string::npos);
  expected.replace(folder, program_dir.path().size(), library_dir.path());
  EXPECT_EQ(library.str(), expected);
  // A library caller gets the file only when it asks.
  EXPECT_FALSE(test_support::file_exists(library_dir.file("Vemora.amb")));
  vemora::console_options options;
  options.write_result_file = true;
  std::ostringstream again;
  EXPECT_TRUE(vemora::write_console(again, made, options));
  EXPECT_EQ(again.str(), library.str());
  EXPECT_EQ(test_support::read_file(library_dir.file("Vemora.amb")), program_result_file);
}

TEST(Library, ResultFileIsNeverWrittenForAMapInMemory) {
  test_support::scoped_temp_dir dir;
  vemora::request request = tev2_copy_request(dir);
  request.map =
      vemora::input::text(test_support::read_file(request.map.name()), dir.file("firmware.map"));
  vemora::console_options options;
  options.write_result_file = true;
  std::ostringstream out;
  EXPECT_TRUE(vemora::write_console(out, vemora::analyse(request), options));
  EXPECT_NE(out.str().find("Warning: Ambiguous search"), std::string::npos);
  EXPECT_FALSE(test_support::file_exists(dir.file("Vemora.amb")));
}

TEST(Library, TwoAnalysesAtOnceGiveWhatEachGivesAlone) {
  const bundled_example& tev2 = k_examples[1];
  const bundled_example& orm6 = k_examples[0];
  const faces tev2_alone = faces_of(vemora::analyse(file_request(tev2)));
  const faces orm6_alone = faces_of(vemora::analyse(file_request(orm6)));
  const std::string orm6_map = test_support::read_file(example_file(orm6, "firmware.map"));

  std::vector<faces> tev2_runs(4);
  std::vector<faces> orm6_runs(4);
  // One shared analysis read on all threads as well.
  const vemora::analysis shared = vemora::analyse(file_request(tev2));
  std::vector<std::string> shared_json(4);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < 4; ++i) {
    threads.emplace_back(
        [&, i]() { tev2_runs[i] = faces_of(vemora::analyse(file_request(tev2))); });
    threads.emplace_back([&, i]() {
      vemora::request request = file_request(orm6);
      request.map = vemora::input::view(orm6_map, request.map.name());
      orm6_runs[i] = faces_of(vemora::analyse(request));
    });
    threads.emplace_back([&, i]() {
      std::ostringstream out;
      vemora::write_json(out, shared);
      shared_json[i] = out.str();
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (std::size_t i = 0; i < 4; ++i) {
    expect_same_faces(tev2_runs[i], tev2_alone, "tev2 run " + std::to_string(i));
    expect_same_faces(orm6_runs[i], orm6_alone, "orm6 run " + std::to_string(i));
    EXPECT_EQ(shared_json[i], tev2_alone.json) << i;
  }
}

// A hand-made Tev2 image: one program range, one memory range, a SEARCH entry,
// and a section of each fate that the lines below give.
const char* const k_small_definition =
    "PROGRAM 0x00000000 0x00001000 // boot block\n"
    "MEMORY  0x00100000 0x00000100\n"
    "SEARCH text\n";

const char* const k_small_map =
    "Sections:\n"
    "Idx Name          Size      VMA       LMA       File off  Algn\n"
    "  0 .text         00000200  00000000  00000000  00000400  2**4\n"
    "                  CONTENTS, ALLOC, LOAD, READONLY, CODE\n"
    "  1 .data         00000040  00100000  00100000  00000600  2**2\n"
    "                  CONTENTS, ALLOC, LOAD, DATA\n"
    "  2 .zdata        00000010  00100040  00100040  00000640  2**2\n"
    "                  CONTENTS, READONLY, DEBUGGING\n"
    "  3 .bss          00000020  00200000  00200000  00000650  2**2\n"
    "                  ALLOC\n";

const char* const k_small_eeprom =
    "; EEPROM layout\n"
    "_RuxEep_nOnceDataSize:\n"
    "    0x10,\n"
    "_RuxEep_nTrippleDataSize:\n"
    "    0x4,\n"
    "_RuxEep_nOnceDataFree:\n"
    "    0x20,\n"
    "_RuxEep_nTrippleDataFree:\n"
    "    0x2,\n";

vemora::analysis small_analysis() {
  vemora::request request;
  request.format = vemora::map_format::tev2;
  request.definition = vemora::input::text(k_small_definition, "small.def");
  request.map = vemora::input::text(k_small_map, "small.map");
  request.eeprom_source = vemora::input::text(k_small_eeprom, "small.src");
  return vemora::analyse(request);
}

TEST(Library, RangesAndAreasOfASmallImage) {
  const vemora::analysis made = small_analysis();
  ASSERT_TRUE(made.ok());
  EXPECT_TRUE(made.has_sections());
  EXPECT_EQ(made.map_name(), "small.map");

  const std::vector<vemora::range> program = made.ranges(vemora::range_kind::program);
  ASSERT_EQ(program.size(), 1u);
  EXPECT_EQ(program[0].id, "program0");
  EXPECT_EQ(program[0].start, 0u);
  EXPECT_EQ(program[0].size, 4096u);
  EXPECT_EQ(program[0].label, "boot block");
  EXPECT_EQ(program[0].definition_line, 1u);
  EXPECT_EQ(program[0].used, 512u);
  EXPECT_EQ(program[0].free, 3584);
  EXPECT_EQ(program[0].used_pct, 12.5);
  EXPECT_EQ(program[0].sections, 1u);

  const std::vector<vemora::range> memory = made.ranges(vemora::range_kind::memory);
  ASSERT_EQ(memory.size(), 1u);
  EXPECT_EQ(memory[0].id, "memory0");
  EXPECT_EQ(memory[0].kind, vemora::range_kind::memory);
  EXPECT_EQ(memory[0].size, 256u);
  EXPECT_FALSE(memory[0].label.has_value());
  EXPECT_EQ(memory[0].definition_line, 2u);
  EXPECT_EQ(memory[0].used, 64u);
  EXPECT_EQ(memory[0].free, 192);
  EXPECT_EQ(memory[0].used_pct, 25.0);

  const vemora::area program_area = made.totals(vemora::range_kind::program);
  EXPECT_EQ(program_area.total, 4096u);
  EXPECT_EQ(program_area.used, 512.0);
  EXPECT_EQ(program_area.used_pct, 12.5);
  EXPECT_EQ(program_area.sections, 1u);
  EXPECT_EQ(program_area.average, 512.0);
  const vemora::area memory_area = made.totals(vemora::range_kind::memory);
  EXPECT_EQ(memory_area.total, 256u);
  EXPECT_EQ(memory_area.used_bytes, 64u);
  EXPECT_EQ(memory_area.used_pct, 25.0);
}

TEST(Library, SectionsFatesAndSearchesOfASmallImage) {
  const vemora::analysis made = small_analysis();
  const std::vector<vemora::section> sections = made.sections();
  ASSERT_EQ(sections.size(), 4u);
  struct expected_section {
    const char* name;
    std::uint32_t start;
    std::uint32_t size;
    std::uint64_t line;
    vemora::section_fate fate;
    bool in_range;
  };
  const expected_section expected[] = {
      {".text", 0x0, 0x200, 3, vemora::section_fate::counted_program, true},
      {".data", 0x100000, 0x40, 5, vemora::section_fate::counted_memory, true},
      {".zdata", 0x100040, 0x10, 7, vemora::section_fate::debugging_attribute, false},
      {".bss", 0x200000, 0x20, 9, vemora::section_fate::outside_ranges, false},
  };
  for (std::size_t i = 0; i < sections.size(); ++i) {
    EXPECT_EQ(sections[i].name, expected[i].name) << i;
    EXPECT_EQ(sections[i].start, expected[i].start) << i;
    EXPECT_EQ(sections[i].size, expected[i].size) << i;
    EXPECT_EQ(sections[i].unit, vemora::size_unit::bytes) << i;
    EXPECT_EQ(sections[i].map_line, expected[i].line) << i;
    EXPECT_EQ(sections[i].fate, expected[i].fate) << i;
    EXPECT_EQ(sections[i].range_index.has_value(), expected[i].in_range) << i;
  }
  EXPECT_EQ(sections[0].search_entry, std::optional<std::size_t>(0));
  EXPECT_FALSE(sections[1].search_entry.has_value());

  const std::vector<vemora::fate_total> fates = made.fates();
  ASSERT_EQ(fates.size(), 11u);
  const auto total_of = [&fates](vemora::section_fate fate) {
    return fates[static_cast<std::size_t>(fate)];
  };
  EXPECT_EQ(total_of(vemora::section_fate::counted_program).size, 512u);
  EXPECT_EQ(total_of(vemora::section_fate::counted_memory).sections, 1u);
  EXPECT_EQ(total_of(vemora::section_fate::debugging_attribute).size, 16u);
  EXPECT_EQ(total_of(vemora::section_fate::outside_ranges).size, 32u);
  EXPECT_EQ(total_of(vemora::section_fate::zero_size).sections, 0u);

  const vemora::search_breakdown searches = made.searches();
  ASSERT_EQ(searches.entries.size(), 1u);
  EXPECT_EQ(searches.entries[0].bytes, 512u);
  EXPECT_EQ(searches.entries[0].sections, 1u);
  EXPECT_EQ(searches.accounted, 512u);
  EXPECT_TRUE(searches.ambiguous.empty());
}

TEST(Library, EepromFiguresOfASmallProject) {
  const std::optional<vemora::eeprom_usage> eeprom = small_analysis().eeprom();
  ASSERT_TRUE(eeprom.has_value());
  EXPECT_EQ(eeprom->once_data_size, 16u);
  EXPECT_EQ(eeprom->triple_data_size, 4u);
  EXPECT_EQ(eeprom->once_data_free, 32u);
  EXPECT_EQ(eeprom->triple_data_free, 2u);
  EXPECT_EQ(eeprom->once_total, 48u);
  EXPECT_EQ(eeprom->triple_used, 12u);
  EXPECT_EQ(eeprom->triple_free, 6u);
  EXPECT_EQ(eeprom->triple_total, 18u);
  EXPECT_EQ(eeprom->overall_total, 66u);
  EXPECT_EQ(eeprom->overall_used, 28u);
  EXPECT_EQ(eeprom->overall_free, 38u);
}

TEST(Library, FailuresAreTheProgramsMessages) {
  struct failing {
    const char* what;
    vemora::request request;
    vemora::failed_step step;
    const char* first_message;
  };
  vemora::request no_definition;
  no_definition.map = vemora::input::text(k_small_map);
  vemora::request empty_definition;
  empty_definition.definition = vemora::input::text("");
  empty_definition.map = vemora::input::text(k_small_map);
  vemora::request missing_map;
  missing_map.definition = vemora::input::text(k_small_definition);
  missing_map.map = vemora::input::file(test_support::source_dir() + "/no/such.map");
  vemora::request bad_eeprom;
  bad_eeprom.definition = vemora::input::text(k_small_definition);
  bad_eeprom.map = vemora::input::text(k_small_map);
  bad_eeprom.eeprom_source = vemora::input::text("no values here\n");
  const failing cases[] = {
      {"no definition", no_definition, vemora::failed_step::memory_report,
       "Vemora:\tNo map def. file name."},
      {"empty definition", empty_definition, vemora::failed_step::memory_report,
       "Vemora:\tInvalid memory definition file."},
      {"missing map", missing_map, vemora::failed_step::memory_report,
       "Vemora:\tInvalid memory map file."},
      {"EEPROM source without values", bad_eeprom, vemora::failed_step::eep_report, "File end"},
  };
  for (const failing& one : cases) {
    const vemora::analysis made = vemora::analyse(one.request);
    EXPECT_FALSE(made.ok()) << one.what;
    const vemora::run_failure failure = made.failure();
    EXPECT_EQ(failure.step, one.step) << one.what;
    ASSERT_FALSE(failure.messages.empty()) << one.what;
    EXPECT_EQ(failure.messages[0], one.first_message) << one.what;
    EXPECT_FALSE(made.eeprom().has_value()) << one.what;
    std::ostringstream console;
    EXPECT_FALSE(vemora::write_console(console, made)) << one.what;
    EXPECT_NE(console.str().find(one.first_message), std::string::npos) << one.what;
  }
}

TEST(Library, KeywordsAndFormats) {
  const std::pair<vemora::map_format, const char*> table[] = {
      {vemora::map_format::orm6, "Orm6"},
      {vemora::map_format::tev2, "Tev2"},
      {vemora::map_format::tev2_mem32_unlimited, "Tev2_mem32_unlimited"},
      {vemora::map_format::orm8, "Orm8"},
      {vemora::map_format::pux4, "Pux4"},
      {vemora::map_format::elf, "Elf"},
  };
  for (const auto& [format, text] : table) {
    EXPECT_EQ(vemora::keyword(format), text);
    EXPECT_EQ(vemora::map_format_of(text), format) << text;
  }
  for (const char* other : {"", "tev2", "Tev2 ", "Orm7", "elf", "ELF"}) {
    EXPECT_FALSE(vemora::map_format_of(other).has_value()) << '"' << other << '"';
  }
  EXPECT_EQ(vemora::keyword(vemora::section_fate::counted_program), "program");
  EXPECT_EQ(vemora::keyword(vemora::section_fate::straddles_range), "straddles_range");
  EXPECT_TRUE(vemora::is_counted(vemora::section_fate::counted_memory));
  EXPECT_FALSE(vemora::is_counted(vemora::section_fate::zero_size));
  EXPECT_EQ(vemora::version(), "2.9.0");
}

TEST(Library, ReportNamesGivenInputsOrDigestsThemItself) {
  const vemora::analysis made = small_analysis();
  std::ostringstream own;
  vemora::write_json(own, made);
  // The digest of the map text, worked out here from its bytes.
  EXPECT_NE(own.str().find("\"path\": \"small.map\", \"bytes\": " +
                           std::to_string(std::string(k_small_map).size()) + ", \"sha256\": \"" +
                           vemora::detail::sha256_hex(k_small_map) + "\""),
            std::string::npos)
      << own.str();
  vemora::report_details details;
  details.tool_name = "my-rig";
  details.map = vemora::input_identity{"firmware/app.map", 42, std::string(64, 'a')};
  std::ostringstream told;
  vemora::write_json(told, made, details);
  EXPECT_NE(told.str().find("\"name\": \"my-rig\""), std::string::npos) << told.str();
  EXPECT_NE(told.str().find("\"path\": \"firmware/app.map\", \"bytes\": 42, \"sha256\": \"" +
                            std::string(64, 'a') + "\""),
            std::string::npos)
      << told.str();
}

// The library's reports are vemora-check's, told the same tool: one model.
TEST(Library, ReportsAreVemoraChecks) {
  for (const bundled_example& example : k_examples) {
    const vemora::request request = file_request(example);
    std::vector<std::string> arguments = {"report", std::string(vemora::keyword(example.format)),
                                          request.definition.name(), request.map.name()};
    if (example.has_eeprom) {
      arguments.push_back(request.eeprom_source->name());
    }
    arguments.push_back("--json=-");
    const check_test::check_run checked = check_test::run(arguments);
    ASSERT_EQ(checked.code, 0) << checked.err;

    vemora::report_details details;
    details.tool_name = "vemora-check";
    std::ostringstream json;
    vemora::write_json(json, vemora::analyse(request), details);
    EXPECT_EQ(json.str(), checked.out) << example.folder;
  }
}

// The lint through the public interface: the findings of texts and files
// agree, the small image's one trap in whole, the JSON report's diagnostics
// are the lint's, unreadable inputs are said, and the counts by severity.
vemora::lint_request small_lint(bool with_map) {
  vemora::lint_request request;
  request.definition = vemora::input::text(k_small_definition, "small.def");
  if (with_map) {
    request.map = vemora::input::text(k_small_map, "small.map");
  }
  return request;
}

std::string lint_text(const vemora::lint_result& result) {
  std::ostringstream out;
  vemora::write_lint_text(out, result);
  return out.str();
}

TEST(LibraryLint, SmallImageInWhole) {
  EXPECT_EQ(lint_text(vemora::lint(small_lint(false))), "0 errors, 0 warnings, 0 notes\n");
  const vemora::lint_result with_map = vemora::lint(small_lint(true));
  ASSERT_TRUE(with_map.readable);
  EXPECT_EQ(lint_text(with_map),
            "small.map:9:1: note: 1 section (0x20 bytes) lies outside every PROGRAM and MEMORY "
            "range and is counted nowhere: \".bss\" (line 9) at 0x200000 [VL103]\n"
            "0 errors, 0 warnings, 1 note\n");
  std::ostringstream github;
  vemora::write_lint_github(github, with_map);
  EXPECT_EQ(github.str().rfind("::notice file=small.map,line=9,col=1,title=VL103::1 section", 0),
            0u)
      << github.str();
}

TEST(LibraryLint, TextsGiveWhatTheirFilesGive) {
  // A definition with a trap on every line, and the small map.
  const std::string definition =
      "  PROGRAM 0x100 0x200\n"
      "program 0 1000\n"
      "PROGRAM 0x0 0x1000\n"
      "MEMORY 0x100000 0x100 RAM\n"
      "PROGRAM 0x800 0x1000\n"
      "SEARCH I/O // drivers\n";
  test_support::scoped_temp_dir dir;
  vemora::lint_request from_files;
  from_files.definition = vemora::input::file(dir.write("memory.def", definition));
  from_files.map = vemora::input::file(dir.write("firmware.map", k_small_map));
  const vemora::lint_result by_files = vemora::lint(from_files);
  ASSERT_TRUE(by_files.readable);
  std::vector<std::string> codes;
  for (const vemora::finding& one : by_files.findings) {
    codes.push_back(one.code + "@" + std::to_string(one.line) + ":" + std::to_string(one.column));
  }
  // The indented line reads "A" as its start and "M" as its size: a bad
  // number and a range of size 0. On line 6 "//" and "drivers" are search
  // terms, and no counted section holds "I/O". The overlap is said on the
  // later line.
  const std::vector<std::string> expected = {"VL002@1:3", "VL005@1:3",  "VL004@1:9",
                                             "VL003@2:1", "VL012@4:23", "VL001@5:1",
                                             "VL007@6:1", "VL008@6:12", "VL103@9:1"};
  EXPECT_EQ(codes, expected);

  vemora::lint_request in_memory = from_files;
  in_memory.definition = vemora::input::text(definition, from_files.definition.name());
  in_memory.map = vemora::input::view(k_small_map, from_files.map->name());
  EXPECT_EQ(lint_text(vemora::lint(in_memory)), lint_text(by_files));
}

TEST(LibraryLint, JsonReportDiagnosticsAreTheLintsFindings) {
  std::ostringstream lint_json;
  vemora::write_lint_json(lint_json, vemora::lint(small_lint(true)));
  std::ostringstream report;
  vemora::write_json(report, small_analysis());
  const nlohmann::json listed = nlohmann::json::parse(report.str())["diagnostics"];
  EXPECT_EQ(listed, nlohmann::json::parse(lint_json.str())["diagnostics"]);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0]["code"], "VL103");

  // Without the sections kept the map is not linted.
  vemora::request lean;
  lean.definition = vemora::input::text(k_small_definition, "small.def");
  lean.map = vemora::input::text(k_small_map, "small.map");
  lean.keep_sections = false;
  std::ostringstream lean_report;
  vemora::write_json(lean_report, vemora::analyse(lean));
  EXPECT_TRUE(nlohmann::json::parse(lean_report.str())["diagnostics"].empty());
}

TEST(LibraryLint, UnreadableInputsAreSaid) {
  const std::string missing = test_support::source_dir() + "/no/such";
  vemora::lint_request no_definition;
  no_definition.definition = vemora::input::file(missing + ".def");
  vemora::lint_request no_map = small_lint(false);
  no_map.map = vemora::input::file(missing + ".map");
  const struct {
    const char* what;
    vemora::lint_request request;
    std::string problem;
  } cases[] = {
      {"definition", no_definition, missing + ".def: cannot be read"},
      {"map", no_map, missing + ".map: cannot be read"},
  };
  for (const auto& c : cases) {
    const vemora::lint_result result = vemora::lint(c.request);
    EXPECT_FALSE(result.readable) << c.what;
    EXPECT_EQ(result.problem, c.problem) << c.what;
    EXPECT_TRUE(result.findings.empty()) << c.what;
  }

  // A definition without a range line is not placed against the map, which
  // is then not read at all.
  vemora::lint_request refused;
  refused.definition = vemora::input::text("SEARCH text\n", "search.def");
  refused.map = vemora::input::file(missing + ".map");
  const vemora::lint_result result = vemora::lint(refused);
  ASSERT_TRUE(result.readable);
  ASSERT_EQ(result.findings.size(), 1u);
  EXPECT_EQ(result.findings[0].code, "VL011");
  EXPECT_EQ(result.findings[0].level, vemora::severity::error);
}

TEST(LibraryLint, CountsAndThresholds) {
  const struct {
    const char* definition;
    std::size_t errors, warnings, notes;
    bool fails_on_error, fails_on_warning, fails_on_note;
  } cases[] = {
      {"PROGRAM 0 10\n", 0, 0, 0, false, false, false},
      {"PROGRAM 0 10\nhello\n", 0, 0, 1, false, false, true},
      {"PROGRAM 0 10\nMemory 0 10\n", 0, 1, 0, false, true, true},
      {"PROGRAM 10 size\nhello\n", 1, 1, 1, true, true, true},
  };
  for (const auto& c : cases) {
    vemora::lint_request request;
    request.definition = vemora::input::text(c.definition, "d");
    const vemora::lint_result result = vemora::lint(request);
    EXPECT_EQ(result.count(vemora::severity::error), c.errors) << c.definition;
    EXPECT_EQ(result.count(vemora::severity::warning), c.warnings) << c.definition;
    EXPECT_EQ(result.count(vemora::severity::note), c.notes) << c.definition;
    EXPECT_EQ(result.has_at_least(vemora::severity::error), c.fails_on_error) << c.definition;
    EXPECT_EQ(result.has_at_least(vemora::severity::warning), c.fails_on_warning) << c.definition;
    EXPECT_EQ(result.has_at_least(vemora::severity::note), c.fails_on_note) << c.definition;
  }
  EXPECT_EQ(vemora::keyword(vemora::severity::note), "note");
}

TEST(Sha256, KnownDigests) {
  const std::pair<std::string, const char*> table[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [bytes, digest] : table) {
    EXPECT_EQ(vemora::detail::sha256_hex(bytes), digest) << bytes.size() << " bytes";
  }
}

TEST(Sha256, FileInPiecesGivesTheDigestOfItsBytes) {
  test_support::scoped_temp_dir dir;
  // Longer than the read buffer, and not a multiple of the 64-byte block.
  std::string bytes;
  for (std::size_t i = 0; i < 70001; ++i) {
    bytes.push_back(static_cast<char>(i * 7 % 251));
  }
  const auto digest = vemora::detail::sha256_of_file(dir.write("f.bin", bytes));
  ASSERT_TRUE(digest.has_value());
  EXPECT_EQ(digest->bytes, bytes.size());
  EXPECT_EQ(digest->sha256, vemora::detail::sha256_hex(bytes));
  EXPECT_FALSE(vemora::detail::sha256_of_file(dir.file("missing.bin")).has_value());
}

}  // namespace

namespace {

TEST(Library, AMapThatIsNoListingIsAFailure) {
  const std::string folder = test_support::source_dir() + "/examples/cortex-m/";
  const struct {
    const char* map;
    bool keep_sections;
    const char* says;
  } cases[] = {
      {"firmware.elf", true, "firmware.elf: is an ELF file (it starts with the ELF magic)"},
      {"firmware.elf", false, "firmware.elf: is an ELF file (it starts with the ELF magic)"},
      {"firmware.map", true, "firmware.map: is a GNU ld map file"},
  };
  for (const auto& c : cases) {
    vemora::request request;
    request.format = vemora::map_format::tev2_mem32_unlimited;
    request.definition = vemora::input::file(folder + "memory.def");
    request.map = vemora::input::file(folder + c.map);
    request.keep_sections = c.keep_sections;
    const vemora::analysis made = vemora::analyse(request);
    EXPECT_FALSE(made.ok()) << c.map;
    const vemora::run_failure failure = made.failure();
    EXPECT_EQ(failure.step, vemora::failed_step::map_not_listing) << c.map;
    ASSERT_EQ(failure.messages.size(), 1u) << c.map;
    EXPECT_EQ(failure.messages[0].rfind(folder + c.says, 0), 0u) << failure.messages[0];
  }
  // The listing of the same image is one.
  vemora::request listing;
  listing.format = vemora::map_format::tev2_mem32_unlimited;
  listing.definition = vemora::input::file(folder + "memory.def");
  listing.map = vemora::input::file(folder + "firmware.lst");
  EXPECT_TRUE(vemora::analyse(listing).ok());
}

std::string cortex_m_file(const char* name) {
  return test_support::source_dir() + "/examples/cortex-m/" + name;
}

/// The Cortex-M example read with Elf (the image is the map) or as its listing with the image
/// beside it.
vemora::request cortex_m_request(bool image_as_map) {
  vemora::request request;
  request.definition = vemora::input::file(cortex_m_file("memory.def"));
  if (image_as_map) {
    request.format = vemora::map_format::elf;
    request.map = vemora::input::file(cortex_m_file("firmware.elf"));
  } else {
    request.format = vemora::map_format::tev2_mem32_unlimited;
    request.map = vemora::input::file(cortex_m_file("firmware.lst"));
    request.elf = vemora::input::file(cortex_m_file("firmware.elf"));
  }
  return request;
}

TEST(LibraryImage, AnImageThatCannotBeReadIsAFailureNamingItAndWhy) {
  const std::string image = test_support::read_file(cortex_m_file("firmware.elf"));
  // readelf: the section headers start at 0x101c4; the ELF32 header is 52 bytes.
  const std::string no_section_headers = image.substr(0, 0x10000);
  const std::string half_a_header = image.substr(0, 40);
  const struct {
    const char* what;
    bool image_as_map;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"headers cut off, as the map", true, no_section_headers,
       "section header 0 lies beyond the end of the file"},
      {"headers cut off, beside the listing", false, no_section_headers,
       "section header 0 lies beyond the end of the file"},
      {"header cut, as the map", true, half_a_header,
       "the file ends inside its ELF32 header (40 of 52 bytes)"},
      {"header cut, beside the listing", false, half_a_header,
       "the file ends inside its ELF32 header (40 of 52 bytes)"},
      {"a text, beside the listing", false, "Idx Name Size\n",
       "the file is not an ELF image: it does not begin with 0x7f 'E' 'L' 'F'"},
  };
  for (const auto& c : cases) {
    vemora::request request = cortex_m_request(c.image_as_map);
    const vemora::input cut = vemora::input::text(c.bytes, "cut.elf");
    (c.image_as_map ? request.map : *request.elf) = cut;
    const vemora::analysis made = vemora::analyse(request);
    EXPECT_FALSE(made.ok()) << c.what;
    const vemora::run_failure failure = made.failure();
    EXPECT_EQ(failure.step, vemora::failed_step::image_not_read) << c.what;
    EXPECT_EQ(failure.input, "cut.elf") << c.what;
    EXPECT_EQ(failure.reason, c.reason) << c.what;
    ASSERT_EQ(failure.messages.size(), 1u) << c.what;
    EXPECT_EQ(failure.messages[0], std::string("cut.elf: ") + c.reason) << c.what;
    EXPECT_TRUE(made.ranges(vemora::range_kind::program).empty()) << c.what;
    EXPECT_TRUE(made.symbols().empty()) << c.what;
    EXPECT_FALSE(made.image().has_value()) << c.what;
    std::ostringstream console;
    EXPECT_FALSE(vemora::write_console(console, made)) << c.what;
  }

  // A missing file is the image's failure too, not the listing's.
  vemora::request missing = cortex_m_request(false);
  missing.elf = vemora::input::file(cortex_m_file("no-such.elf"));
  const vemora::run_failure failure = vemora::analyse(missing).failure();
  EXPECT_EQ(failure.step, vemora::failed_step::image_not_read);
  EXPECT_EQ(failure.input, cortex_m_file("no-such.elf"));
  EXPECT_EQ(failure.reason, "cannot open the file");
}

TEST(LibraryImage, AnImageBesideTheImageIsRefused) {
  vemora::request both = cortex_m_request(true);
  both.elf = vemora::input::file(cortex_m_file("firmware.elf"));
  const vemora::analysis made = vemora::analyse(both);
  EXPECT_FALSE(made.ok());
  const vemora::run_failure failure = made.failure();
  EXPECT_EQ(failure.step, vemora::failed_step::image_not_read);
  EXPECT_EQ(failure.input, cortex_m_file("firmware.elf"));
  EXPECT_EQ(failure.reason, "with the format Elf the map is the image: no image beside it is read");
  EXPECT_TRUE(made.symbols().empty());
  std::ostringstream console;
  EXPECT_FALSE(vemora::write_console(console, made));
  EXPECT_NE(console.str().find(failure.reason), std::string::npos);
}

TEST(LibraryImage, TheElfFormatReadsTheImageInMemoryAsItsFile) {
  const std::string image = test_support::read_file(cortex_m_file("firmware.elf"));
  for (const bool as_map : {true, false}) {
    const vemora::request from_file = cortex_m_request(as_map);
    const vemora::analysis by_file = vemora::analyse(from_file);
    ASSERT_TRUE(by_file.ok()) << as_map;
    vemora::request kept = from_file;
    vemora::input& slot = as_map ? kept.map : *kept.elf;
    slot = vemora::input::text(image, slot.name());
    const vemora::analysis by_text = vemora::analyse(kept);
    ASSERT_TRUE(by_text.ok()) << as_map;
    expect_same_faces(faces_of(by_text), faces_of(by_file), as_map ? "Elf" : "--elf");
    vemora::request viewed = from_file;
    vemora::input& view_slot = as_map ? viewed.map : *viewed.elf;
    view_slot = vemora::input::view(image, view_slot.name());
    expect_same_faces(faces_of(vemora::analyse(viewed)), faces_of(by_file),
                      as_map ? "Elf viewed" : "--elf viewed");
  }

  // readelf -SW: the image's allocated sections, in header order, are the recognised ones.
  const vemora::analysis made = vemora::analyse(cortex_m_request(true));
  ASSERT_TRUE(made.ok());
  EXPECT_TRUE(made.has_sections());
  EXPECT_EQ(made.format(), vemora::map_format::elf);
  const std::vector<vemora::section> sections = made.sections();
  ASSERT_EQ(sections.size(), 21u);  // headers 1 to 21
  const struct {
    std::size_t index;
    const char* name;
    std::uint32_t start;
    std::uint32_t size;
    vemora::section_fate fate;
  } expected[] = {
      {0, ".isr_vector", 0x08000000, 0xf0, vemora::section_fate::counted_program},
      {1, ".text", 0x080000f0, 0x5728, vemora::section_fate::counted_program},
      {2, ".rodata", 0x08005818, 0xae8, vemora::section_fate::counted_program},
      {3, ".init_array", 0x08006300, 0x4, vemora::section_fate::counted_program},
      {4, ".data", 0x20000000, 0x1e8, vemora::section_fate::counted_memory},
      {5, ".bss", 0x200001e8, 0x78, vemora::section_fate::counted_memory},
      {6, ".heap", 0x20000260, 0x2000, vemora::section_fate::counted_memory},
      {7, ".stack", 0x20002260, 0x800, vemora::section_fate::counted_memory},
      {8, ".debug_info", 0, 0x1da4, vemora::section_fate::not_allocated},
      {18, ".symtab", 0, 0x25d0, vemora::section_fate::not_allocated},
  };
  for (const auto& e : expected) {
    const vemora::section& got = sections[e.index];
    EXPECT_EQ(got.name, e.name) << e.index;
    EXPECT_EQ(got.start, e.start) << e.name;
    EXPECT_EQ(got.size, e.size) << e.name;
    EXPECT_EQ(got.map_line, e.index + 1) << e.name;
    EXPECT_EQ(got.fate, e.fate) << e.name;
  }
  // 0xf0 + 0x5728 + 0xae8 + 0x4 of FLASH; 0x1e8 + 0x78 + 0x2000 + 0x800 of RAM.
  EXPECT_EQ(made.ranges(vemora::range_kind::program).at(0).used, 25348u);
  EXPECT_EQ(made.ranges(vemora::range_kind::memory).at(0).used, 10848u);
}

/// A section's name as either reader gives it: the listing's reader drops the leading full stop.
std::string bare_name(const std::string& name) {
  return !name.empty() && name[0] == '.' ? name.substr(1) : name;
}

TEST(LibraryImage, SymbolsAreTheImagesAsReadelfListsThem) {
  using kind = vemora::symbol_kind;
  using binding = vemora::symbol_binding;
  // arm-none-eabi-readelf -sW firmware.elf; a Thumb function's value has bit 0 set. bytes is
  // what is left of the symbol after the symbols before it: __aeabi_dsub (0x080005c4, 634 bytes)
  // holds all of __adddf3 (0x080005c8, 630 bytes).
  const struct {
    const char* name;
    const char* display;
    const char* key;
    kind k;
    binding b;
    const char* file;
    const char* section;
    std::uint64_t address;
    std::uint64_t size;
    std::uint64_t bytes;
    std::vector<std::string> aliases;
  } expected[] = {
      {"main",
       "main",
       "main",
       kind::function,
       binding::global,
       "",
       "text",
       0x080002c4,
       500,
       500,
       {}},
      {"printf",
       "printf",
       "printf",
       kind::function,
       binding::global,
       "",
       "text",
       0x08001d04,
       52,
       52,
       {"iprintf"}},
      {"__aeabi_dsub",
       "__aeabi_dsub",
       "__aeabi_dsub",
       kind::function,
       binding::global,
       "",
       "text",
       0x080005c4,
       634,
       634,
       {"__subdf3"}},
      {"__adddf3",
       "__adddf3",
       "__adddf3",
       kind::function,
       binding::global,
       "",
       "text",
       0x080005c8,
       630,
       0,
       {"__aeabi_dadd"}},
      {"_printf_float",
       "_printf_float",
       "_printf_float",
       kind::function,
       binding::weak,
       "",
       "text",
       0x08001330,
       1496,
       1496,
       {}},
      {"g_vector_table",
       "g_vector_table",
       "g_vector_table",
       kind::object,
       binding::global,
       "",
       "isr_vector",
       0x08000000,
       236,
       236,
       {}},
      {"k_sine",
       "k_sine",
       "main.c:k_sine",
       kind::object,
       binding::local,
       "main.c",
       "rodata",
       0x08005918,
       512,
       512,
       {}},
      {"k_crc32_table",
       "k_crc32_table",
       "crc32.c:k_crc32_table",
       kind::object,
       binding::local,
       "crc32.c",
       "rodata",
       0x08005b28,
       1024,
       1024,
       {}},
      {"impure_data",
       "impure_data",
       "impure.c:impure_data",
       kind::object,
       binding::local,
       "impure.c",
       "data",
       0x2000001c,
       96,
       96,
       {}},
      {"__global_locale",
       "__global_locale",
       "__global_locale",
       kind::object,
       binding::global,
       "",
       "data",
       0x2000007c,
       364,
       364,
       {}},
      {"_ZN6logger9g_averageE",
       "logger::g_average",
       "_ZN6logger9g_averageE",
       kind::object,
       binding::global,
       "",
       "bss",
       0x20000200,
       80,
       80,
       {}},
  };
  for (const bool as_map : {true, false}) {
    const vemora::analysis made = vemora::analyse(cortex_m_request(as_map));
    ASSERT_TRUE(made.ok()) << as_map;
    const std::vector<vemora::section> sections = made.sections();
    const std::vector<vemora::symbol> symbols = made.symbols();
    // readelf: 198 symbols of non-zero size in the eight allocated sections, aliases as one.
    EXPECT_EQ(symbols.size(), 198u) << as_map;
    for (const auto& e : expected) {
      const auto found =
          std::find_if(symbols.begin(), symbols.end(),
                       [&e](const vemora::symbol& one) { return one.name == e.name; });
      ASSERT_NE(found, symbols.end()) << e.name;
      EXPECT_EQ(found->display, e.display) << e.name;
      EXPECT_EQ(found->key, e.key) << e.name;
      EXPECT_EQ(found->kind, e.k) << e.name;
      EXPECT_EQ(found->binding, e.b) << e.name;
      EXPECT_EQ(found->file, e.file) << e.name;
      ASSERT_LT(found->section, sections.size()) << e.name;
      EXPECT_EQ(bare_name(sections[found->section].name), e.section) << e.name;
      EXPECT_EQ(found->address, e.address) << e.name;
      EXPECT_EQ(found->size, e.size) << e.name;
      EXPECT_EQ(found->bytes, e.bytes) << e.name;
      EXPECT_EQ(found->aliases, e.aliases) << e.name;
    }
    // By section, then by address.
    for (std::size_t i = 1; i < symbols.size(); ++i) {
      const bool ordered = symbols[i - 1].section < symbols[i].section ||
                           (symbols[i - 1].section == symbols[i].section &&
                            symbols[i - 1].address <= symbols[i].address);
      EXPECT_TRUE(ordered) << symbols[i - 1].name << " before " << symbols[i].name;
    }
    // The words the reports print.
    EXPECT_EQ(vemora::keyword(kind::function), "function");
    EXPECT_EQ(vemora::keyword(kind::tls), "tls");
    EXPECT_EQ(vemora::keyword(binding::weak), "weak");
    EXPECT_EQ(vemora::keyword(binding::local), "local");
  }
}

TEST(LibraryImage, SectionsAndRangesSayWhatTheSymbolsHold) {
  // Union of the symbols' spans per section, from readelf -sW: .isr_vector 236 of 240 (the
  // table, padded), .text 22204 of 22312, .rodata 2201 of 2792, .init_array 0 of 4 (no
  // symbol), .data 488 of 488, .bss 120 of 120, no symbol in .heap or .stack.
  const struct {
    const char* name;
    std::uint32_t attributed;
    std::uint32_t unattributed;
  } expected_sections[] = {
      {"isr_vector", 236, 4}, {"text", 22204, 108}, {"rodata", 2201, 591}, {"init_array", 0, 4},
      {"data", 488, 0},       {"bss", 120, 0},      {"stack", 0, 2048},
  };
  const struct {
    bool as_map;
    std::uint64_t memory_used;
    std::uint64_t memory_unattributed;
    std::size_t matched;
  } runs[] = {
      // Elf: all eight allocated sections count; .heap too (8192 bytes).
      {true, 488 + 120 + 8192 + 2048, 8192 + 2048, 8},
      // The listing's reader drops heap by its name.
      {false, 488 + 120 + 2048, 2048, 7},
  };
  for (const auto& run : runs) {
    const vemora::analysis made = vemora::analyse(cortex_m_request(run.as_map));
    ASSERT_TRUE(made.ok()) << run.as_map;
    const std::vector<vemora::section> sections = made.sections();
    for (const auto& e : expected_sections) {
      const auto found =
          std::find_if(sections.begin(), sections.end(),
                       [&e](const vemora::section& one) { return bare_name(one.name) == e.name; });
      ASSERT_NE(found, sections.end()) << e.name;
      EXPECT_EQ(found->attributed, std::optional<std::uint32_t>(e.attributed)) << e.name;
      EXPECT_EQ(found->unattributed, std::optional<std::uint32_t>(e.unattributed)) << e.name;
    }
    for (const vemora::section& section : sections) {
      if (!vemora::is_counted(section.fate)) {
        EXPECT_FALSE(section.attributed.has_value()) << section.name;
        EXPECT_FALSE(section.unattributed.has_value()) << section.name;
      }
    }

    const vemora::range flash = made.ranges(vemora::range_kind::program).at(0);
    EXPECT_EQ(flash.used, 25348u);
    EXPECT_EQ(flash.attributed, std::optional<std::uint64_t>(236 + 22204 + 2201));
    EXPECT_EQ(flash.unattributed, std::optional<std::uint64_t>(4 + 108 + 591 + 4));
    const vemora::range ram = made.ranges(vemora::range_kind::memory).at(0);
    EXPECT_EQ(ram.used, run.memory_used) << run.as_map;
    EXPECT_EQ(ram.attributed, std::optional<std::uint64_t>(488 + 120)) << run.as_map;
    EXPECT_EQ(ram.unattributed, std::optional<std::uint64_t>(run.memory_unattributed))
        << run.as_map;

    const std::optional<vemora::image_account> image = made.image();
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->as_map, run.as_map);
    EXPECT_EQ(image->path, cortex_m_file("firmware.elf"));
    EXPECT_EQ(image->machine, 40u);  // EM_ARM
    EXPECT_EQ(image->matched_sections, run.matched) << run.as_map;
    EXPECT_TRUE(image->unmatched_sections.empty());
    // Five symbols inside the ones before them, 988 bytes in all; none beyond its section.
    EXPECT_EQ(image->overlapping_symbols, 5u);
    EXPECT_EQ(image->overlap_bytes, 988u);
    EXPECT_EQ(image->cut_symbols, 0u);
    EXPECT_FALSE(image->foreign);
  }
}

TEST(LibraryImage, WithoutAnImageThereAreNoSymbolsAndNoSums) {
  vemora::request listing = cortex_m_request(false);
  listing.elf.reset();
  const vemora::analysis made = vemora::analyse(listing);
  ASSERT_TRUE(made.ok());
  EXPECT_TRUE(made.symbols().empty());
  EXPECT_FALSE(made.image().has_value());
  for (const vemora::section& section : made.sections()) {
    EXPECT_FALSE(section.attributed.has_value()) << section.name;
  }
  for (const vemora::range& range : made.ranges(vemora::range_kind::program)) {
    EXPECT_FALSE(range.attributed.has_value()) << range.id;
    EXPECT_FALSE(range.unattributed.has_value()) << range.id;
  }
  for (const vemora::search_entry& entry : made.searches().entries) {
    EXPECT_FALSE(entry.attributed.has_value()) << entry.text;
  }
}

TEST(LibraryImage, SearchEntriesSayWhatTheSymbolsHold) {
  // memory.def: SEARCH text, SEARCH rodata, SEARCH |isr_vector |init_array; the listing's names.
  const vemora::search_breakdown searches = vemora::analyse(cortex_m_request(false)).searches();
  ASSERT_EQ(searches.entries.size(), 3u);
  const struct {
    std::uint64_t bytes;
    std::uint64_t attributed;
  } expected[] = {{22312, 22204}, {2792, 2201}, {240 + 4, 236}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(searches.entries[i].bytes, expected[i].bytes) << i;
    EXPECT_EQ(searches.entries[i].attributed, expected[i].attributed) << i;
    EXPECT_EQ(searches.entries[i].unattributed, expected[i].bytes - expected[i].attributed) << i;
  }
}

/// An objdump -h listing of the Cortex-M image's vector table and a section the image lacks.
const char* const k_listing_with_extra =
    "Idx Name          Size      VMA       LMA       File off  Algn\n"
    "  0 .isr_vector   000000f0  08000000  08000000  00001000  2**2\n"
    "                  CONTENTS, ALLOC, LOAD, READONLY, DATA\n"
    "  1 .extra        00000100  08007000  08007000  00009000  2**2\n"
    "                  CONTENTS, ALLOC, LOAD, READONLY, DATA\n";
/// Only the section the image lacks: a listing of another image.
const char* const k_listing_of_another_image =
    "Idx Name          Size      VMA       LMA       File off  Algn\n"
    "  1 .extra        00000100  08007000  08007000  00009000  2**2\n"
    "                  CONTENTS, ALLOC, LOAD, READONLY, DATA\n";

TEST(LibraryLint, TheImagesFindingsComeThroughTheLintAndTheJsonReport) {
  const std::string image = cortex_m_file("firmware.elf");
  // The five overlapping symbols of readelf -sW, 988 (0x3DC) bytes inside those before them.
  const std::string overlaps = "in the image " + image +
                               ", 5 symbols overlap the symbols before them by 0x3DC bytes in "
                               "all: each byte is counted once, for the first symbol";
  const struct {
    const char* what;
    vemora::map_format format;
    vemora::input map;
    bool image_beside;
    std::vector<std::string> codes;  ///< code@line, severity
  } cases[] = {
      {"Elf", vemora::map_format::elf, vemora::input::file(image), false, {"VL112@0 note"}},
      {"the listing",
       vemora::map_format::tev2_mem32_unlimited,
       vemora::input::file(cortex_m_file("firmware.lst")),
       true,
       {"VL112@0 note"}},
      {"a section the image lacks",
       vemora::map_format::tev2_mem32_unlimited,
       vemora::input::text(k_listing_with_extra, "extra.lst"),
       true,
       {"VL113@4 warning"}},
      {"another image's listing",
       vemora::map_format::tev2_mem32_unlimited,
       vemora::input::text(k_listing_of_another_image, "other.lst"),
       true,
       {"VL114@0 error"}},
  };
  for (const auto& c : cases) {
    vemora::lint_request linted;
    linted.definition = vemora::input::file(cortex_m_file("memory.def"));
    linted.map = c.map;
    linted.format = c.format;
    if (c.image_beside) {
      linted.elf = vemora::input::file(image);
    }
    const vemora::lint_result result = vemora::lint(linted);
    ASSERT_TRUE(result.readable) << c.what << ": " << result.problem;
    std::vector<std::string> codes;
    for (const vemora::finding& one : result.findings) {
      if (one.code >= "VL112" && one.code <= "VL114") {
        codes.push_back(one.code + "@" + std::to_string(one.line) + " " +
                        std::string(vemora::keyword(one.level)));
        EXPECT_EQ(one.file, c.map.name()) << c.what;
      }
      if (one.code == "VL112") {
        EXPECT_EQ(one.message, overlaps) << c.what;
      }
      if (one.code == "VL113") {
        EXPECT_NE(one.message.find("\"extra\" (line 4) at 0x8007000"), std::string::npos)
            << one.message;
      }
    }
    EXPECT_EQ(codes, c.codes) << c.what;

    // The JSON report of the same inputs lists the same findings.
    vemora::request analysed;
    analysed.format = c.format;
    analysed.definition = linted.definition;
    analysed.map = c.map;
    analysed.elf = linted.elf;
    std::ostringstream report;
    vemora::write_json(report, vemora::analyse(analysed));
    std::ostringstream lint_json;
    vemora::write_lint_json(lint_json, result);
    EXPECT_EQ(nlohmann::json::parse(report.str())["diagnostics"],
              nlohmann::json::parse(lint_json.str())["diagnostics"])
        << c.what;
  }
}

TEST(LibraryLint, AnImageThatCannotBeReadIsSaidWithItsReason) {
  const std::string cut = test_support::read_file(cortex_m_file("firmware.elf")).substr(0, 40);
  vemora::lint_request beside;
  beside.definition = vemora::input::file(cortex_m_file("memory.def"));
  beside.map = vemora::input::file(cortex_m_file("firmware.lst"));
  beside.format = vemora::map_format::tev2_mem32_unlimited;
  beside.elf = vemora::input::text(cut, "cut.elf");
  vemora::lint_request as_map = beside;
  as_map.format = vemora::map_format::elf;
  as_map.map = beside.elf;
  as_map.elf.reset();
  vemora::lint_request both = as_map;
  both.elf = vemora::input::file(cortex_m_file("firmware.elf"));
  vemora::lint_request without_map = beside;
  without_map.map.reset();
  const struct {
    const char* what;
    vemora::lint_request request;
    std::string problem;
  } cases[] = {
      {"beside", beside,
       "cut.elf: cannot be read: the file ends inside its ELF32 header (40 of 52 bytes)"},
      {"as the map", as_map,
       "cut.elf: cannot be read: the file ends inside its ELF32 header (40 of 52 bytes)"},
      {"beside the image", both,
       cortex_m_file("firmware.elf") +
           ": with the format Elf the map is the image: no image beside it is read"},
      {"without a map", without_map, "cut.elf: an image is linted beside a map only"},
  };
  for (const auto& c : cases) {
    const vemora::lint_result result = vemora::lint(c.request);
    EXPECT_FALSE(result.readable) << c.what;
    EXPECT_EQ(result.problem, c.problem) << c.what;
    EXPECT_TRUE(result.findings.empty()) << c.what;
  }
}

TEST(LibraryImage, AnImageKeepsTheSectionsItsSymbolsAreIn) {
  for (const bool as_map : {true, false}) {
    vemora::request lean = cortex_m_request(as_map);
    lean.keep_sections = false;
    const vemora::analysis made = vemora::analyse(lean);
    ASSERT_TRUE(made.ok()) << as_map;
    const std::vector<vemora::section> sections = made.sections();
    ASSERT_FALSE(sections.empty()) << as_map;
    for (const vemora::symbol& symbol : made.symbols()) {
      ASSERT_LT(symbol.section, sections.size()) << symbol.name;
    }
    // The JSON report lints the map then, as it does with the sections kept.
    std::ostringstream lean_json;
    vemora::write_json(lean_json, made);
    std::ostringstream kept_json;
    vemora::write_json(kept_json, vemora::analyse(cortex_m_request(as_map)));
    const nlohmann::json lean_diagnostics = nlohmann::json::parse(lean_json.str())["diagnostics"];
    EXPECT_EQ(lean_diagnostics, nlohmann::json::parse(kept_json.str())["diagnostics"]) << as_map;
    const bool overlaps_said =
        std::any_of(lean_diagnostics.begin(), lean_diagnostics.end(),
                    [](const nlohmann::json& one) { return one["code"] == "VL112"; });
    EXPECT_TRUE(overlaps_said) << as_map;
  }
}

}  // namespace
