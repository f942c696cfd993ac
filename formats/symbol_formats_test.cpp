// The symbol view and its writers on an analysis made by hand: which ranges and symbols a query
// picks, the order of ties, the CSV's quoting of names that need it (the rules of csv_field),
// addresses beyond 32 bits, and JSON that stays valid for empty ranges and any bytes.
#include "formats/symbol_formats.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "formats/report_formats.h"

namespace {

// program0 holds .text (symbols 0 to 3) and .rodata (4); program1 holds .text (5);
// memory0 holds .bss (no symbols). SEARCH 0 counted the first .text, SEARCH 1 the .rodata.
class hand_made : public ::testing::Test {
 protected:
  void SetUp() override {
    m_memory.names = std::make_shared<section_name_pool>();
    m_memory.program_usage.resize(2);
    m_memory.memory_usage.resize(1);
    m_memory.program_usage[0].range = {0x1000, 0x1000};
    m_memory.program_usage[0].used_bytes = 0x120;
    m_memory.program_usage[0].attributed_bytes = 0x100;
    add_section(".text", section_fate::counted_program, 0, 0, 0, 4);
    add_section(".rodata", section_fate::counted_program, 0, 1, 4, 1);
    add_section(".text", section_fate::counted_program, 1, -1, 5, 1);
    add_section(".bss", section_fate::counted_memory, 0, -1, 0, 0);
    add_section(".debug", section_fate::debug_name, -1, -1, 0, 0);
    add_symbol("beta", 0, 0x1010, 16);
    add_symbol("alpha", 0, 0x1020, 32);
    add_symbol("gamma", 0, 0x1040, 16);
    add_symbol("operator,(a, b)", 0, 0x1050, 8);
    add_symbol("k_\"quoted\"", 1, 0x1100, 4);
    add_symbol("caf\xe9", 2, 0x123456789ull, 2);
  }

  void add_section(const char* name, section_fate fate, std::int32_t range, std::int32_t group,
                   std::uint32_t first, std::uint32_t count) {
    section_fate_record record;
    record.name = section_name(name, *m_memory.names);
    record.fate = fate;
    record.range_index = range;
    record.group = group;
    record.first_symbol = first;
    record.symbol_count = count;
    m_memory.fates.push_back(record);
  }

  void add_symbol(const char* name, std::size_t section, std::uint64_t address,
                  std::uint64_t bytes) {
    symbol_record symbol;
    symbol.name = name;
    symbol.display = name;
    symbol.key = name;
    symbol.kind = symbol_kind::object;
    symbol.section = section;
    symbol.address = address;
    symbol.size = bytes;
    symbol.bytes = bytes;
    m_memory.symbols.push_back(symbol);
  }

  std::vector<std::string> names_of(const symbol_range_view& range, bool shown) const {
    std::vector<std::string> names;
    for (const std::size_t index : shown ? range.shown : range.symbols) {
      names.push_back(m_memory.symbols[index].name);
    }
    return names;
  }

  memory_analysis m_memory;
};

TEST_F(hand_made, EveryRangeWithoutAFilterOnlyThosePickedWithOne) {
  struct view_case {
    const char* what;
    symbol_query query;
    std::vector<std::string> ids;
  };
  symbol_query group;
  group.group = 1;
  symbol_query section;
  section.section = ".text";
  symbol_query named;
  named.range = "memory0";
  symbol_query named_and_group = group;
  named_and_group.range = "memory0";
  symbol_query missing;
  missing.range = "program7";
  const std::vector<view_case> cases = {
      {"no filter", {}, {"program0", "program1", "memory0"}}, {"group", group, {"program0"}},
      {"section", section, {"program0", "program1"}},         {"range", named, {"memory0"}},
      {"range beside a group", named_and_group, {"memory0"}}, {"unknown range", missing, {}},
  };
  for (const view_case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> ids;
    for (const symbol_range_view& range : select_symbols(m_memory, c.query).ranges) {
      ids.push_back(range_id(range.program, range.index));
    }
    EXPECT_EQ(ids, c.ids);
  }
  const symbol_view by_group = select_symbols(m_memory, group);
  EXPECT_EQ(names_of(by_group.ranges[0], false), std::vector<std::string>{"k_\"quoted\""});
}

TEST_F(hand_made, TopPicksTheLargestAndTheOrderSortsThem) {
  symbol_query query;
  query.range = "program0";
  query.top = 3;
  // 32, 16, 16, 8, 4 bytes: the two of 16 in address order.
  symbol_view view = select_symbols(m_memory, query);
  ASSERT_EQ(view.ranges.size(), 1u);
  EXPECT_EQ(names_of(view.ranges[0], true), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(
      names_of(view.ranges[0], false),
      (std::vector<std::string>{"alpha", "beta", "gamma", "operator,(a, b)", "k_\"quoted\""}));
  query.order = symbol_order::address;
  view = select_symbols(m_memory, query);
  EXPECT_EQ(names_of(view.ranges[0], true), (std::vector<std::string>{"beta", "alpha", "gamma"}));
  query.order = symbol_order::name;
  view = select_symbols(m_memory, query);
  EXPECT_EQ(names_of(view.ranges[0], true), (std::vector<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_EQ(
      names_of(view.ranges[0], false),
      (std::vector<std::string>{"alpha", "beta", "gamma", "k_\"quoted\"", "operator,(a, b)"}));
  query.top = 0;
  query.order = symbol_order::bytes;
  EXPECT_EQ(select_symbols(m_memory, query).ranges[0].shown.size(), 5u);
}

TEST_F(hand_made, CsvQuotesWhatNeedsItAndWidensLongAddresses) {
  symbol_query query;
  query.section = ".text";
  std::ostringstream out;
  write_symbols_csv(out, m_memory, select_symbols(m_memory, query));
  // The byte 0xE9 is no UTF-8: its Latin-1 character, U+00E9, as two bytes.
  EXPECT_EQ(out.str(),
            "name,display,kind,binding,file,section,range,group,address,size,key,bytes\r\n"
            "alpha,alpha,object,global,,.text,program0,0,0x00001020,32,alpha,32\r\n"
            "beta,beta,object,global,,.text,program0,0,0x00001010,16,beta,16\r\n"
            "gamma,gamma,object,global,,.text,program0,0,0x00001040,16,gamma,16\r\n"
            "\"operator,(a, b)\",\"operator,(a, b)\",object,global,,.text,program0,0,0x00001050,8"
            ",\"operator,(a, b)\",8\r\n"
            "caf\xc3\xa9,caf\xc3\xa9,object,global,,.text,program1,,0x0000000123456789,2,"
            "caf\xc3\xa9,2\r\n");

  std::ostringstream quoted;
  symbol_query group;
  group.group = 1;
  write_symbols_csv(quoted, m_memory, select_symbols(m_memory, group));
  EXPECT_NE(quoted.str().find(
                "\r\n\"k_\"\"quoted\"\"\",\"k_\"\"quoted\"\"\",object,global,,.rodata,program0,1,"),
            std::string::npos);
}

TEST_F(hand_made, JsonStaysValidForEmptyRangesAndAnyBytes) {
  std::ostringstream out;
  write_symbols_json(out, m_memory, select_symbols(m_memory, {}));
  const nlohmann::json document = nlohmann::json::parse(out.str());
  ASSERT_EQ(document.at("ranges").size(), 3u);
  const nlohmann::json& memory0 = document["ranges"][2];
  EXPECT_EQ(memory0.at("id"), "memory0");
  EXPECT_TRUE(memory0.at("symbols").empty());
  EXPECT_EQ(memory0.at("symbol_count"), 0);
  const nlohmann::json& program0 = document["ranges"][0];
  EXPECT_EQ(program0.at("used"), 0x120);
  EXPECT_EQ(program0.at("attributed"), 0x100);
  EXPECT_EQ(program0.at("unattributed"), 0x20);
  EXPECT_EQ(document["ranges"][1]["symbols"][0].at("name"), "caf\xc3\xa9");
  EXPECT_EQ(document["ranges"][1]["symbols"][0].at("address"), 0x123456789ull);

  std::ostringstream none;
  write_symbols_json(none, m_memory, symbol_view{});
  EXPECT_EQ(none.str(), "{\n  \"ranges\": []\n}\n");
}

}  // namespace
