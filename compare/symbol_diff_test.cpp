// The pairing of two builds' symbols, one rule a case: the passes in their order, address
// order within one key, the statuses, and the sums by range, group and file.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "compare/report_diff.h"
#include "formats/report_formats.h"
#include "tests/test_support.h"

namespace {

struct symbol_line {
  const char* key;
  const char* display;
  const char* section;
  std::uint64_t address;
  std::uint64_t size;
  const char* file = "";
};

/// A build whose symbols are the lines: each section once, in first-seen order; .bss and .data
/// sections counted in memory0, the rest in program0; .text sections in the group "text".
report_model build_of(const std::vector<symbol_line>& lines) {
  report_model model;
  model.has_symbols = true;
  model.ranges.push_back({"program0", true, std::nullopt, 0, 0x10000, 0, 0, std::nullopt});
  model.ranges.push_back({"memory0", false, std::nullopt, 0x20000, 0x1000, 0, 0, std::nullopt});
  model.groups.push_back({"text", 0});
  std::map<std::string, std::size_t> index;
  for (const symbol_line& line : lines) {
    const std::string section = line.section;
    auto [found, fresh] = index.emplace(section, model.sections.size());
    if (fresh) {
      model_section row;
      row.name = section;
      row.counted = true;
      const bool data = section.rfind(".bss", 0) == 0 || section.rfind(".data", 0) == 0;
      row.range = data ? "memory0" : "program0";
      if (section.rfind(".text", 0) == 0) {
        row.group = 0;
      }
      model.sections.push_back(row);
    }
    model.symbols.push_back({line.key, line.display, line.file, *line.file != '\0', found->second,
                             line.address, line.size, line.size});
  }
  return model;
}

/// "status key base current" per row, in the diff's order.
std::vector<std::string> rows_of(const symbol_changes& changes) {
  std::vector<std::string> out;
  for (const symbol_diff& row : changes.rows) {
    out.push_back(std::string(symbol_status_keyword(row.status)) + " " + row.key + " " +
                  std::to_string(static_cast<long long>(row.bytes.base)) + " " +
                  std::to_string(static_cast<long long>(row.bytes.current)));
  }
  return out;
}

struct pairing_case {
  const char* rule;
  std::vector<symbol_line> base;
  std::vector<symbol_line> current;
  std::vector<std::string> rows;
};

class SymbolPairing : public ::testing::TestWithParam<pairing_case> {};

TEST_P(SymbolPairing, GivesTheRows) {
  const symbol_changes changes =
      compare_symbols(build_of(GetParam().base), build_of(GetParam().current));
  EXPECT_EQ(changes.sides, symbol_sides::both);
  EXPECT_EQ(rows_of(changes), GetParam().rows) << GetParam().rule;
}

INSTANTIATE_TEST_SUITE_P(
    Passes, SymbolPairing,
    ::testing::Values(pairing_case{"a clone renamed at the same size is unchanged",
                                   {{"crc", "crc.isra.0", ".text", 0x100, 40}},
                                   {{"crc", "crc.constprop.0", ".text", 0x120, 40}},
                                   {"unchanged crc 40 40"}},
                      pairing_case{"key, section and size pair before key and section",
                                   {{"k", "k", ".text", 0x10, 10}, {"k", "k", ".text", 0x20, 20}},
                                   {{"k", "k", ".text", 0x10, 20}},
                                   {"removed k 10 0", "unchanged k 20 20"}},
                      pairing_case{"a new size pairs by key and section",
                                   {{"f", "f", ".text", 0x10, 10}},
                                   {{"f", "f", ".text", 0x10, 16}},
                                   {"grown f 10 16"}},
                      pairing_case{"a smaller one shrinks",
                                   {{"f", "f", ".text", 0x10, 10}},
                                   {{"f", "f", ".text", 0x10, 6}},
                                   {"shrunk f 10 6"}},
                      pairing_case{"another section is a move, whatever the size",
                                   {{"f", "f", ".text", 0x10, 10}},
                                   {{"f", "f", ".text.hot", 0x10, 12}},
                                   {"moved f 10 12"}},
                      pairing_case{"another range is a move",
                                   {{"v", "v", ".text", 0x10, 4}},
                                   {{"v", "v", ".data", 0x20000, 4}},
                                   {"moved v 4 4"}},
                      pairing_case{"the display name pairs what the keys do not",
                                   {{"a.c:state", "state", ".bss", 0x20000, 4, "a.c"}},
                                   {{"b.c:state", "state", ".bss", 0x20000, 4, "b.c"}},
                                   {"unchanged b.c:state 4 4"}},
                      pairing_case{"several of one key pair in address order, not report order",
                                   {{"x.c:buf", "buf", ".bss", 0x20200, 8, "x.c"},
                                    {"x.c:buf", "buf", ".bss", 0x20100, 4, "x.c"}},
                                   {{"x.c:buf", "buf", ".bss", 0x20100, 5, "x.c"},
                                    {"x.c:buf", "buf", ".bss", 0x20200, 9, "x.c"}},
                                   {"grown x.c:buf 4 5", "grown x.c:buf 8 9"}},
                      pairing_case{
                          "what pairs with nothing is added or removed, largest change first",
                          {{"old", "old", ".text", 0x10, 12}},
                          {{"new", "new", ".text", 0x10, 30}},
                          {"added new 0 30", "removed old 12 0"}}),
    [](const ::testing::TestParamInfo<pairing_case>& param) {
      return "Case" + std::to_string(param.index);
    });

TEST(SymbolSums, AddUpTheRowsByRangeGroupAndFile) {
  const report_model base = build_of({{"f", "f", ".text", 0x10, 10},
                                      {"m.c:t", "t", ".text", 0x20, 8, "m.c"},
                                      {"buf", "buf", ".bss", 0x20000, 64},
                                      {"v", "v", ".text", 0x40, 4}});
  const report_model current = build_of({{"f", "f", ".text", 0x10, 14},
                                         {"m.c:t", "t", ".text", 0x20, 8, "m.c"},
                                         {"buf", "buf", ".bss", 0x20000, 32},
                                         {"v", "v", ".data", 0x20100, 4},
                                         {"g", "g", ".text", 0x60, 20}});
  const symbol_changes changes = compare_symbols(base, current);
  ASSERT_EQ(changes.ranges.size(), 2u);
  // program0: f 10 -> 14, t 8, v 4 -> gone (moved to memory0), g new 20: 22 -> 42.
  EXPECT_EQ(changes.ranges[0].name, "program0");
  EXPECT_EQ(changes.ranges[0].bytes.base, 22);
  EXPECT_EQ(changes.ranges[0].bytes.current, 42);
  EXPECT_EQ(changes.ranges[0].added_bytes, 20u);
  EXPECT_EQ(changes.ranges[0].changed, 3u);  // f, v, g
  // memory0: buf 64 -> 32, v arrives: 64 -> 36.
  EXPECT_EQ(changes.ranges[1].name, "memory0");
  EXPECT_EQ(changes.ranges[1].bytes.base, 64);
  EXPECT_EQ(changes.ranges[1].bytes.current, 36);
  EXPECT_EQ(changes.ranges[1].changed, 2u);  // buf, v
  ASSERT_EQ(changes.groups.size(), 1u);
  EXPECT_EQ(changes.groups[0].bytes.base, 22);
  EXPECT_EQ(changes.groups[0].bytes.current, 42);
  ASSERT_EQ(changes.files.size(), 2u);
  EXPECT_EQ(changes.files[0].name, "(global)");
  EXPECT_EQ(changes.files[0].bytes.base, 78);
  EXPECT_EQ(changes.files[0].bytes.current, 70);
  EXPECT_EQ(changes.files[0].changed, 4u);
  EXPECT_EQ(changes.files[1].name, "m.c");
  EXPECT_EQ(changes.files[1].bytes.delta, 0);
  EXPECT_EQ(changes.files[1].changed, 0u);
  EXPECT_EQ(changes.added_bytes, 20u);
}

TEST(SymbolSides, OneSideWithoutSymbolsGivesNoRows) {
  const report_model with = build_of({{"f", "f", ".text", 0x10, 10}});
  report_model without = with;
  without.has_symbols = false;
  without.symbols.clear();
  EXPECT_EQ(compare_symbols(with, without).sides, symbol_sides::base_only);
  EXPECT_EQ(compare_symbols(without, with).sides, symbol_sides::current_only);
  EXPECT_EQ(compare_symbols(without, without).sides, symbol_sides::neither);
  EXPECT_TRUE(compare_symbols(without, with).rows.empty());
}

TEST(SymbolSides, TheRangesUnattributedBytesAreComparedWhenBothCarrySymbols) {
  report_model base = build_of({{"f", "f", ".text", 0x10, 10}});
  report_model current = build_of({{"f", "f", ".text", 0x10, 12}});
  base.ranges[0].used = 16;
  base.ranges[0].unattributed = 6;
  current.ranges[0].used = 20;
  current.ranges[0].unattributed = 8;
  const report_diff diff = compute_diff(base, current);
  const range_diff& program = diff.ranges[0];
  ASSERT_EQ(program.id, "program0");
  ASSERT_TRUE(program.unattributed);
  EXPECT_EQ(program.unattributed->delta, 2);
  EXPECT_EQ(program.used.delta, diff.symbols.ranges[0].bytes.delta + program.unattributed->delta);
  current.has_symbols = false;
  EXPECT_FALSE(compute_diff(base, current).ranges[0].unattributed);
}

/// The model of a report of the Cortex-M example build in folder (relative to the example),
/// read back from its JSON as a baseline is.
report_model firmware_build(const std::string& folder) {
  const std::string example = test_support::source_dir() + "/examples/cortex-m/";
  analysis_request request;
  request.type_keyword = std::string(k_image_keyword);
  request.image_keywords = true;
  request.definition_path = example + "memory.def";
  request.map_path = example + folder + "firmware.elf";
  request.collect_fates = true;
  const analysis_result result = analyse(request);
  EXPECT_FALSE(result.failure().failed()) << folder;
  std::ostringstream json;
  write_json_report(json, result, report_context{});
  report_model model;
  std::string error;
  EXPECT_TRUE(read_report_model(json.str(), model, error)) << error;
  return model;
}

/// The changed rows as the example's symbol-changes.txt lists them: "status key base current
/// section" (the current section, else the base one), by key.
std::vector<std::string> changed_rows(const symbol_changes& changes) {
  std::vector<std::string> out;
  for (const symbol_diff& row : changes.rows) {
    if (row.status == symbol_status::unchanged) {
      continue;
    }
    out.push_back(std::string(symbol_status_keyword(row.status)) + "\t" + row.key + "\t" +
                  std::to_string(static_cast<long long>(row.bytes.base)) + "\t" +
                  std::to_string(static_cast<long long>(row.bytes.current)) + "\t" +
                  (row.in_current ? row.current.section : row.base.section));
  }
  std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
    const auto key = [](const std::string& line) {
      const std::size_t from = line.find('\t') + 1;
      return line.substr(from, line.find('\t', from) - from);
    };
    return key(a) < key(b);
  });
  return out;
}

/// The lines of a hand-written table without its comment lines.
std::vector<std::string> table_lines(const std::string& path) {
  std::istringstream text(test_support::read_file(path));
  std::vector<std::string> out;
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line[0] != '#') {
      out.push_back(line);
    }
  }
  return out;
}

struct build_pair {
  const char* folder;  ///< the later build, under examples/cortex-m
};

class FirmwareBuilds : public ::testing::TestWithParam<build_pair> {
 protected:
  report_model m_base = firmware_build("");
  report_model m_current = firmware_build(GetParam().folder);
  report_diff m_diff = compute_diff(m_base, m_current);
};

TEST_P(FirmwareBuilds, ListTheHandCheckedChangesAndNoRenames) {
  const std::string table =
      test_support::source_dir() + "/examples/cortex-m/" + GetParam().folder + "symbol-changes.txt";
  EXPECT_EQ(changed_rows(m_diff.symbols), table_lines(table));
}

TEST_P(FirmwareBuilds, EachRangeChangesByItsSymbolsAndItsUnattributedBytes) {
  ASSERT_EQ(m_diff.symbols.sides, symbol_sides::both);
  for (const range_diff& range : m_diff.ranges) {
    ASSERT_TRUE(range.unattributed) << range.id;
    double symbols = 0;
    for (const symbol_sum& sum : m_diff.symbols.ranges) {
      if (sum.name == range.id) {
        symbols = sum.bytes.delta;
      }
    }
    EXPECT_EQ(range.used.delta, symbols + range.unattributed->delta) << range.id;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CortexM, FirmwareBuilds, ::testing::Values(build_pair{"next/"}, build_pair{"reorder/"}),
    [](const ::testing::TestParamInfo<build_pair>& param) {
      return std::string(param.param.folder).substr(0, std::string(param.param.folder).size() - 1);
    });

}  // namespace
