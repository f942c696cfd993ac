// An image's sections as the recognised ones and its symbols in the counted sections: against
// the linker's memory usage and readelf -sW of the Cortex-M example, and against small images
// made here field by field for the rules of aliases, overlaps, cuts and keys.
#include "analysis/image_symbols.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "tests/test_support.h"

namespace {

analysis_result analyse_example(const std::string& keyword, const std::string& map,
                                const std::string& image = {}) {
  const std::string dir = test_support::source_dir() + "/examples/cortex-m/";
  analysis_request request;
  request.type_keyword = keyword;
  request.definition_path = dir + "memory.def";
  request.map_path = dir + map;
  request.image_path = image.empty() ? std::string() : dir + image;
  request.image_keywords = true;
  request.collect_fates = true;
  return analyse(request);
}

const symbol_record* find_symbol(const memory_analysis& memory, const std::string& name) {
  for (const symbol_record& symbol : memory.symbols) {
    if (symbol.name == name) {
      return &symbol;
    }
  }
  return nullptr;
}

const section_fate_record* find_section(const memory_analysis& memory, const std::string& name) {
  for (const section_fate_record& fate : memory.fates) {
    if (fate.name.str() == name) {
      return &fate;
    }
  }
  return nullptr;
}

/// Every counted section's symbols add up to its attributed bytes, which its size holds.
void expect_sum_rule(const memory_analysis& memory) {
  for (std::size_t i = 0; i < memory.fates.size(); ++i) {
    const section_fate_record& fate = memory.fates[i];
    std::uint64_t bytes = 0;
    for (std::uint32_t k = 0; k < fate.symbol_count; ++k) {
      const symbol_record& symbol = memory.symbols[fate.first_symbol + k];
      EXPECT_EQ(symbol.section, i) << symbol.name;
      bytes += symbol.bytes;
    }
    EXPECT_EQ(bytes, fate.attributed) << fate.name.str();
    EXPECT_LE(fate.attributed, fate.size) << fate.name.str();
  }
  std::uint64_t ranges = 0;
  for (const range_usage& usage : memory.program_usage) {
    ranges += usage.attributed_bytes;
  }
  EXPECT_EQ(ranges, memory.program_attributed);
}

}  // namespace

TEST(ImageAsMap, FootprintAndRamAreThoseTheLinkerPrints) {
  const analysis_result result = analyse_example("Elf", "firmware.elf");
  ASSERT_FALSE(result.failure().failed()) << result.failure().messages.front();
  const memory_analysis& memory = result.memory;
  // memory-usage.txt (ld --print-memory-usage): FLASH 25836 B, RAM 10848 B.
  ASSERT_EQ(memory.program_usage.size(), 1u);
  EXPECT_EQ(memory.program_usage[0].footprint(), 25836u);
  EXPECT_EQ(memory.memory_usage[0].used_rounded(), 10848u);
  // readelf -SW: 21 sections after the null one; 8 allocated, 13 not.
  EXPECT_EQ(memory.recognised().sections, 21u);
  EXPECT_EQ(memory.counted().sections, 8u);
  EXPECT_EQ(memory.by_fate[static_cast<std::size_t>(section_fate::not_allocated)].sections, 13u);
  const section_fate_record* data = find_section(memory, ".data");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->map_line, 5u);  // the section header's index
  ASSERT_TRUE(data->detail.load_address.has_value());
  EXPECT_EQ(*data->detail.load_address, 0x08006304u);
  EXPECT_TRUE(memory.image.given);
  EXPECT_TRUE(memory.image.as_map);
}

TEST(ImageAsMap, SymbolsAreThoseOfReadelf) {
  const analysis_result result = analyse_example("Elf", "firmware.elf");
  const memory_analysis& memory = result.memory;
  expect_sum_rule(memory);
  // readelf -sW, by hand: the Thumb bit of a function's value cleared.
  struct expected_symbol {
    const char* name;
    const char* section;
    std::uint64_t address;
    std::uint64_t size;
    symbol_kind kind;
    symbol_binding binding;
    const char* key;
    std::vector<std::string> aliases;
  };
  const std::vector<expected_symbol> expected = {
      {"main", ".text", 0x080002c4, 500, symbol_kind::function, symbol_binding::global, "main", {}},
      {"printf",
       ".text",
       0x08001d04,
       52,
       symbol_kind::function,
       symbol_binding::global,
       "printf",
       {"iprintf"}},
      {"_ZN6logger14moving_averageC1Ej",
       ".text",
       0x080004e0,
       42,
       symbol_kind::function,
       symbol_binding::global,
       "_ZN6logger14moving_averageC1Ej",
       {"_ZN6logger14moving_averageC2Ej"}},
      {"__sinit.part.0",
       ".text",
       0x08003568,
       240,
       symbol_kind::function,
       symbol_binding::local,
       "findfp.c:__sinit",
       {}},
      {"k_sine",
       ".rodata",
       0x08005918,
       512,
       symbol_kind::object,
       symbol_binding::local,
       "main.c:k_sine",
       {}},
      {"g_vector_table",
       ".isr_vector",
       0x08000000,
       236,
       symbol_kind::object,
       symbol_binding::global,
       "g_vector_table",
       {}},
      {"errno", ".bss", 0x20000258, 4, symbol_kind::object, symbol_binding::global, "errno", {}},
  };
  for (const expected_symbol& want : expected) {
    const symbol_record* got = find_symbol(memory, want.name);
    ASSERT_NE(got, nullptr) << want.name;
    EXPECT_EQ(memory.fates[got->section].name.str(), want.section) << want.name;
    EXPECT_EQ(got->address, want.address) << want.name;
    EXPECT_EQ(got->size, want.size) << want.name;
    EXPECT_EQ(got->kind, want.kind) << want.name;
    EXPECT_EQ(got->binding, want.binding) << want.name;
    EXPECT_EQ(got->key, want.key) << want.name;
    EXPECT_EQ(got->aliases, want.aliases) << want.name;
  }
  EXPECT_EQ(find_symbol(memory, "iprintf"), nullptr);  // an alias, not a symbol of its own
  EXPECT_EQ(find_symbol(memory, "_ZN6logger14moving_averageC1Ej")->display,
            "logger::moving_average::moving_average(unsigned int)");
  EXPECT_EQ(find_symbol(memory, "__sinit.part.0")->file, "findfp.c");

  // .data and .bss are covered by their objects, .heap and .stack hold none; the vector
  // table's last 4 bytes belong to no symbol.
  const std::vector<std::pair<const char*, std::uint32_t>> attributed = {
      {".isr_vector", 236}, {".data", 488}, {".bss", 120}, {".heap", 0}, {".stack", 0}};
  for (const auto& [name, bytes] : attributed) {
    EXPECT_EQ(find_section(memory, name)->attributed, bytes) << name;
  }
  EXPECT_EQ(memory.memory_usage[0].attributed_bytes, 608u);
  EXPECT_EQ(memory.memory_usage[0].unattributed_bytes(), 10848u - 608u);
  // libgcc's double routines have entry points inside one another (__adddf3 in __aeabi_dsub).
  EXPECT_GT(memory.image.overlapping_symbols, 0u);
}

TEST(ImageAsMap, Elf64ImageOfRiscVCountsAsTheLinkerDoes) {
  const std::string dir = test_support::source_dir() + "/examples/riscv64/";
  analysis_request request;
  request.type_keyword = "Elf";
  request.definition_path = dir + "memory.def";
  request.map_path = dir + "firmware.elf";
  request.image_keywords = true;
  const analysis_result result = analyse(request);
  ASSERT_FALSE(result.failure().failed());
  const memory_analysis& memory = result.memory;
  // memory-usage.txt: FLASH 3320 B (with the load copy of .data), RAM 4240 B.
  EXPECT_EQ(memory.program_usage[0].footprint(), 3320u);
  EXPECT_EQ(memory.program_usage[0].load_copy_bytes, 56u);
  EXPECT_EQ(memory.memory_usage[0].used_rounded(), 4240u);
  expect_sum_rule(memory);
  // readelf -sW: entries 32 and 34, after the FILE symbol of sequence.c.
  const symbol_record* state = find_symbol(memory, "state.0");
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->key, "sequence.c:state");
  EXPECT_EQ(state->address, 0x80000030u);
  EXPECT_EQ(state->size, 4u);
  EXPECT_EQ(memory.fates[state->section].name.str(), ".data");
  const symbol_record* scramble = find_symbol(memory, "scramble");
  ASSERT_NE(scramble, nullptr);
  EXPECT_EQ(scramble->address, 0x20000226u);
  EXPECT_EQ(scramble->size, 22u);
  EXPECT_EQ(scramble->binding, symbol_binding::local);
}

TEST(ImageBesideListing, SymbolsGoToTheListingsSections) {
  const analysis_result result =
      analyse_example("Tev2_mem32_unlimited", "firmware.lst", "firmware.elf");
  ASSERT_FALSE(result.failure().failed());
  const memory_analysis& memory = result.memory;
  expect_sum_rule(memory);
  EXPECT_EQ(memory.image.matched_sections, memory.counted().sections);
  EXPECT_TRUE(memory.image.unmatched_sections.empty());
  EXPECT_FALSE(memory.image.foreign());
  const symbol_record* main_symbol = find_symbol(memory, "main");
  ASSERT_NE(main_symbol, nullptr);
  // The listing names sections without their full stop.
  EXPECT_EQ(memory.fates[main_symbol->section].name.str(), "text");
}

TEST(ImageBesideListing, AnotherImageIsForeignAndAnUnreadableOneFails) {
  const std::string other = test_support::source_dir() + "/examples/arm-big-endian/firmware.elf";
  const analysis_result foreign =
      analyse_example("Tev2_mem32_unlimited", "firmware.lst", "../arm-big-endian/firmware.elf");
  ASSERT_FALSE(foreign.failure().failed());
  EXPECT_TRUE(foreign.memory.image.foreign());
  EXPECT_TRUE(foreign.memory.symbols.empty());

  const analysis_result unreadable =
      analyse_example("Tev2_mem32_unlimited", "firmware.lst", "firmware.map");
  ASSERT_TRUE(unreadable.failure().failed());
  EXPECT_FALSE(unreadable.failure().image_error.empty());
}

namespace {

/// An image of one section at 0x1000 of 0x40 bytes and the given symbols.
elf_image small_image(std::uint16_t machine, std::vector<elf_symbol> symbols) {
  elf_image image;
  image.header.machine = machine;
  image.sections.resize(2);
  image.sections[1].name = ".text";
  image.sections[1].type = 1;
  image.sections[1].flags = elf_value::k_shf_alloc | elf_value::k_shf_execinstr;
  image.sections[1].address = 0x1000;
  image.sections[1].size = 0x40;
  image.symbols.resize(1);
  for (elf_symbol& symbol : symbols) {
    if (symbol.place == elf_symbol_place::in_section) {
      symbol.section_index = 1;
    }
    image.symbols.push_back(symbol);
  }
  return image;
}

elf_symbol sym(const char* name, std::uint64_t value, std::uint64_t size,
               std::uint8_t type = elf_value::k_stt_func,
               std::uint8_t binding = elf_value::k_stb_global,
               elf_symbol_place place = elf_symbol_place::in_section) {
  elf_symbol symbol;
  symbol.name = name;
  symbol.value = value;
  symbol.size = size;
  symbol.type = type;
  symbol.binding = binding;
  symbol.place = place;
  return symbol;
}

struct attribution_case {
  const char* what;
  std::uint16_t machine;
  std::vector<elf_symbol> symbols;
  /// name, address, bytes of each symbol, in order
  std::vector<std::tuple<std::string, std::uint64_t, std::uint64_t>> expected;
  std::uint32_t attributed;
  std::size_t overlapping;
  std::uint64_t overlap_bytes;
  std::size_t cut;
};

}  // namespace

TEST(SymbolAttribution, EachByteBelongsToOneSymbolOrNone) {
  using namespace elf_value;
  const std::vector<attribution_case> cases = {
      {"two apart, a gap between",
       0,
       {sym("b", 0x1010, 8), sym("a", 0x1000, 4)},
       {{"a", 0x1000, 4}, {"b", 0x1010, 8}},
       12,
       0,
       0,
       0},
      {"aliases: global before weak before local, then table order",
       0,
       {sym("loc", 0x1000, 8, k_stt_func, k_stb_local),
        sym("weak", 0x1000, 8, k_stt_func, k_stb_weak), sym("g1", 0x1000, 8), sym("g2", 0x1000, 8)},
       {{"g1", 0x1000, 8}},
       8,
       0,
       0,
       0},
      {"an overlap goes to the first by address",
       0,
       {sym("a", 0x1000, 0x10), sym("b", 0x1008, 0x10)},
       {{"a", 0x1000, 0x10}, {"b", 0x1008, 8}},
       0x18,
       1,
       8,
       0},
      {"a tie on the address goes to the larger",
       0,
       {sym("small", 0x1000, 4), sym("large", 0x1000, 8)},
       {{"large", 0x1000, 8}, {"small", 0x1000, 0}},
       8,
       1,
       4,
       0},
      {"a symbol past the section's end is cut there",
       0,
       {sym("tail", 0x1038, 0x10)},
       {{"tail", 0x1038, 8}},
       8,
       0,
       0,
       1},
      {"ARM: a function's Thumb bit is cleared, an object's value kept",
       40,
       {sym("f", 0x1001, 4), sym("o", 0x1011, 2, k_stt_object)},
       {{"f", 0x1000, 4}, {"o", 0x1011, 2}},
       6,
       0,
       0,
       0},
      {"no size, section, file, undefined or absolute symbol holds bytes",
       0,
       {sym("zero", 0x1000, 0), sym(".text", 0x1000, 0x40, k_stt_section),
        sym("f.c", 0, 0x40, k_stt_file, k_stb_local),
        sym("undef", 0x1000, 4, k_stt_func, k_stb_global, elf_symbol_place::undefined),
        sym("abs", 0x1000, 4, k_stt_object, k_stb_global, elf_symbol_place::absolute),
        sym("notype", 0x1020, 4, k_stt_notype)},
       {{"notype", 0x1020, 4}},
       4,
       0,
       0,
       0},
  };
  for (const attribution_case& c : cases) {
    const elf_image image = small_image(c.machine, c.symbols);
    std::vector<section_fate_record> fates(1);
    fates[0].fate = section_fate::counted_program;
    fates[0].start = 0x1000;
    fates[0].size = 0x40;
    fates[0].map_line = 1;
    image_account account;
    const std::vector<symbol_record> symbols =
        attribute_symbols(image, fates, image_sections_of(image, fates, true), account);
    ASSERT_EQ(symbols.size(), c.expected.size()) << c.what;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
      EXPECT_EQ(symbols[i].name, std::get<0>(c.expected[i])) << c.what;
      EXPECT_EQ(symbols[i].address, std::get<1>(c.expected[i])) << c.what;
      EXPECT_EQ(symbols[i].bytes, std::get<2>(c.expected[i])) << c.what;
    }
    EXPECT_EQ(fates[0].attributed, c.attributed) << c.what;
    EXPECT_EQ(fates[0].unattributed(), 0x40u - c.attributed) << c.what;
    EXPECT_EQ(account.overlapping_symbols, c.overlapping) << c.what;
    EXPECT_EQ(account.overlap_bytes, c.overlap_bytes) << c.what;
    EXPECT_EQ(account.cut_symbols, c.cut) << c.what;
  }
}

TEST(SymbolAttribution, AliasesAreListedInTableOrder) {
  using namespace elf_value;
  const elf_image image = small_image(0, {sym("loc", 0x1000, 8, k_stt_func, k_stb_local),
                                          sym("weak", 0x1000, 8, k_stt_func, k_stb_weak),
                                          sym("g1", 0x1000, 8), sym("g2", 0x1000, 8)});
  std::vector<section_fate_record> fates(1);
  fates[0].fate = section_fate::counted_program;
  fates[0].start = 0x1000;
  fates[0].size = 0x40;
  fates[0].map_line = 1;
  image_account account;
  const std::vector<symbol_record> symbols =
      attribute_symbols(image, fates, image_sections_of(image, fates, true), account);
  ASSERT_EQ(symbols.size(), 1u);
  EXPECT_EQ(symbols[0].aliases, (std::vector<std::string>{"loc", "weak", "g2"}));
}

TEST(SymbolKey, StripsTheCompilersNumberingOnly) {
  struct key_case {
    const char* name;
    symbol_binding binding;
    const char* file;
    bool counter;
    const char* key;
  };
  const std::vector<key_case> cases = {
      {"parse.isra.0", symbol_binding::global, "", false, "parse"},
      {"parse.constprop.0.isra.0", symbol_binding::global, "", false, "parse"},
      {"parse.part.3", symbol_binding::global, "", false, "parse"},
      {"parse.cold", symbol_binding::global, "", false, "parse"},
      {"parse.cold.1", symbol_binding::global, "", false, "parse"},
      {"parse.lto_priv.0", symbol_binding::global, "", false, "parse"},
      {"parse.llvm.4711081528", symbol_binding::global, "", false, "parse"},
      {"_ZL5parsei.constprop.0", symbol_binding::local, "io.c", true, "io.c:_ZL5parsei"},
      {"state.1234", symbol_binding::local, "main.c", true, "main.c:state"},
      {"state.1234", symbol_binding::local, "", true, "state"},
      {"version.2", symbol_binding::global, "", false, "version.2"},
      {"table", symbol_binding::local, "crc32.c", true, "crc32.c:table"},
      {".1", symbol_binding::local, "", true, ".1"},
      {"a.b", symbol_binding::global, "", false, "a.b"},
  };
  for (const key_case& c : cases) {
    EXPECT_EQ(symbol_key(c.name, c.binding, c.file, c.counter), c.key) << c.name;
  }
}

TEST(SymbolKey, CppNamesAreDemangledForDisplay) {
  EXPECT_EQ(demangled_name("_ZN6logger14moving_average3addEl"),
            "logger::moving_average::add(long)");
  EXPECT_EQ(demangled_name("main"), "main");
  EXPECT_EQ(demangled_name("_Znot_mangled"), "_Znot_mangled");
}

TEST(ImageSections, AListingsSectionIsFoundByItsNameWithoutPunctuationAndByItsAddress) {
  elf_image image;
  const std::vector<std::tuple<const char*, std::uint64_t, bool>> sections = {
      {".text", 0x1000, true}, {"__stack_area", 0x2000, true}, {".data", 0x3000, true},
      {".data", 0x4000, true}, {".comment", 0x0, false},       {".rodata", 0x1'0000'5000, true}};
  image.sections.resize(1);
  for (const auto& [name, address, allocated] : sections) {
    elf_section section;
    section.name = name;
    section.address = address;
    section.flags = allocated ? elf_value::k_shf_alloc : 0;
    image.sections.push_back(section);
  }
  struct match_case {
    const char* name;
    std::uint32_t start;
    section_fate fate;
    std::int64_t found;
  };
  const std::vector<match_case> cases = {
      {"text", 0x1000, section_fate::counted_program, 1},
      {".text", 0x1000, section_fate::counted_program, 1},
      {"stack_area", 0x2000, section_fate::counted_memory, 2},
      {"data", 0x4000, section_fate::counted_memory, 4},     // the second of two of that name
      {"data", 0x5000, section_fate::counted_memory, -1},    // no address matches
      {"comment", 0x0, section_fate::counted_program, -1},   // not allocated
      {"rodata", 0x5000, section_fate::counted_program, 6},  // the address folded to 32 bits
      {"text", 0x1000, section_fate::outside_ranges, -1},    // only counted sections are looked up
  };
  section_name_pool pool;
  std::vector<section_fate_record> fates;
  for (const match_case& c : cases) {
    section_fate_record fate;
    fate.name = section_name(c.name, pool);
    fate.start = c.start;
    fate.fate = c.fate;
    fates.push_back(fate);
  }
  const std::vector<std::int64_t> found = image_sections_of(image, fates, false);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(found[i], cases[i].found) << cases[i].name << " at " << cases[i].start;
  }
}

TEST(ImageSections, EachSectionHeaderIsOneRecognisedSection) {
  struct header_case {
    const char* name;
    std::uint64_t flags;
    std::uint32_t type;
    std::uint64_t address;
    std::uint64_t size;
    std::uint64_t load_address;
    section_fate fate;
    std::uint32_t start;  ///< as recorded
    std::uint32_t size32;
    std::uint8_t traits;
    std::optional<std::uint32_t> load;
  };
  using namespace elf_value;
  constexpr std::uint8_t k_attributes = k_trait_attributes;
  constexpr std::uint8_t k_alloc = k_trait_attributes | k_trait_alloc;
  constexpr std::uint8_t k_loaded = k_alloc | k_trait_load;
  const std::vector<header_case> cases = {
      {".text", k_shf_alloc | k_shf_execinstr, 1, 0x1000, 0x100, 0x1000,
       section_fate::counted_program, 0x1000, 0x100, k_loaded, 0x1000},
      {".data", k_shf_alloc | k_shf_write, 1, 0x8000, 0x10, 0x1100, section_fate::counted_memory,
       0x8000, 0x10, k_loaded, 0x1100},
      {".bss", k_shf_alloc | k_shf_write, k_sht_nobits, 0x8010, 0x20, 0x1110,
       section_fate::counted_memory, 0x8010, 0x20, k_alloc, 0x1110},
      {".debug_info", 0, 1, 0, 0x400, 0, section_fate::not_allocated, 0, 0x400, k_attributes,
       std::nullopt},
      {".far", k_shf_alloc, 1, 0x1'0000'0000, 0x10, 0x1'0000'0000, section_fate::outside_ranges, 0,
       0x10, k_loaded | k_trait_wide_start | k_trait_wide_load, std::nullopt},
      {".huge", k_shf_alloc, k_sht_nobits, 0x9000, 0x1'0000'0000, 0x9000,
       section_fate::outside_ranges, 0x9000, 0, k_alloc | k_trait_wide_size | k_trait_wide_load,
       std::nullopt},
      {".flashcopy", k_shf_alloc, 1, 0x8100, 0x10, 0xFFFF'FFF8, section_fate::counted_memory,
       0x8100, 0x10, k_loaded | k_trait_wide_load, std::nullopt},
      {".empty", k_shf_alloc, 1, 0x1200, 0, 0x1200, section_fate::zero_size, 0x1200, 0, k_loaded,
       0x1200},
  };
  elf_image image;
  image.header.file_class = elf_class::elf64;
  image.sections.resize(1);
  for (const header_case& c : cases) {
    elf_section section;
    section.name = c.name;
    section.flags = c.flags;
    section.type = c.type;
    section.address = c.address;
    section.size = c.size;
    section.load_address = c.load_address;
    image.sections.push_back(section);
  }
  c_memory_def definition;
  search_list searches;
  ASSERT_TRUE(definition.read(
      input_source::in_memory("PROGRAM 0x1000 0x1000\nMEMORY 0x8000 0x1000\n"), searches));
  section_list program;
  section_list memory;
  reading_account account;
  const auto names = std::make_shared<section_name_pool>();  // outlives the records' names
  EXPECT_TRUE(read_image_sections(image, definition, names, program, memory, &account));
  ASSERT_EQ(account.sections.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const section_fate_record& got = account.sections[i];
    const header_case& want = cases[i];
    EXPECT_EQ(got.name.str(), want.name);
    EXPECT_EQ(got.map_line, i + 1) << want.name;
    EXPECT_EQ(got.fate, want.fate) << want.name;
    EXPECT_EQ(got.start, want.start) << want.name;
    EXPECT_EQ(got.size, want.size32) << want.name;
    EXPECT_EQ(got.detail.traits, want.traits) << want.name;
    EXPECT_EQ(got.detail.load_address, want.load) << want.name;
  }
  EXPECT_EQ(program.size(), 1u);
  EXPECT_EQ(memory.size(), 3u);
}
