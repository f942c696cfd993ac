// Fuzz target: the ELF reader on any bytes. A refused image comes back with a reason and nothing
// else; an accepted one keeps every promise of the reader: each section's bytes and name lie in
// the file and in the name table, each symbol's name in its string table, each symbol's section
// exists, and each load address is the one the segment gives, summed here in 128 bits, with the
// whole load range inside the address space of the image's class. The image's sections are then
// placed in ranges covering the 32-bit space and its symbols attributed to them: every counted
// section's symbols hold its attributed bytes, never more than its size.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/image_symbols.h"
#include "elf/elf_image.h"
#include "fuzz/fuzz_support.h"

namespace {

using u128 = unsigned __int128;

/// Whether view lies inside the bytes [offset, offset + size) of buffer and is followed there
/// by a NUL.
bool names_inside(std::string_view view, const std::string& buffer, std::uint64_t offset,
                  std::uint64_t size) {
  if (view.empty() && view.data() == nullptr) {
    return true;
  }
  const auto at = reinterpret_cast<std::uintptr_t>(view.data());
  const auto base = reinterpret_cast<std::uintptr_t>(buffer.data());
  if (at < base || at - base > buffer.size()) {
    return false;
  }
  const u128 begin = at - base;
  if (begin < offset || begin + view.size() >= u128{offset} + size) {
    return false;
  }
  return buffer[static_cast<std::size_t>(begin) + view.size()] == '\0';
}

void check_accepted(const elf_image& image) {
  const std::string& bytes = *image.bytes;
  const u128 file_size = bytes.size();
  const bool wide = image.header.file_class == elf_class::elf64;
  const u128 address_end = wide ? (u128{1} << 64) : (u128{1} << 32);

  const std::size_t names = image.header.names_section;
  FUZZ_CHECK(names == 0 || names < image.sections.size());
  for (const elf_section& section : image.sections) {
    if (section.has_contents()) {
      FUZZ_CHECK(u128{section.offset} + section.size <= file_size);
    }
    if (names != 0) {
      const elf_section& table = image.sections[names];
      FUZZ_CHECK(names_inside(section.name, bytes, table.offset, table.size));
    } else {
      FUZZ_CHECK(section.name.empty());
    }
    if (!wide) {
      FUZZ_CHECK(section.address < address_end && section.size < address_end);
    }
    if (section.load_segment < 0) {
      FUZZ_CHECK(section.load_address == section.address);
      continue;
    }
    FUZZ_CHECK(section.allocated());
    FUZZ_CHECK(static_cast<std::size_t>(section.load_segment) < image.segments.size());
    const elf_segment& segment = image.segments[static_cast<std::size_t>(section.load_segment)];
    const bool nobits = section.type == elf_value::k_sht_nobits;
    // The segment holds the section in memory, and in the file unless it is NOBITS.
    FUZZ_CHECK(section.address >= segment.virtual_address);
    FUZZ_CHECK(u128{section.address} + section.size <=
               u128{segment.virtual_address} + segment.memory_size);
    if (!nobits) {
      FUZZ_CHECK(section.offset >= segment.offset);
      FUZZ_CHECK(u128{section.offset} + section.size <= u128{segment.offset} + segment.file_size);
    }
    const u128 load =
        u128{segment.physical_address} +
        (nobits ? section.address - segment.virtual_address : section.offset - segment.offset);
    FUZZ_CHECK(load == section.load_address);
    FUZZ_CHECK(load + section.size <= address_end);
  }
  for (const elf_segment& segment : image.segments) {
    FUZZ_CHECK(u128{segment.offset} + segment.file_size <= file_size);
  }

  if (image.symbol_section < 0) {
    FUZZ_CHECK(image.symbols.empty());
    return;
  }
  FUZZ_CHECK(static_cast<std::size_t>(image.symbol_section) < image.sections.size());
  const elf_section& table = image.sections[static_cast<std::size_t>(image.symbol_section)];
  FUZZ_CHECK(table.link < image.sections.size());
  const elf_section& strings = image.sections[table.link];
  FUZZ_CHECK(strings.type == elf_value::k_sht_strtab);
  FUZZ_CHECK(table.entry_size != 0 && image.symbols.size() == table.size / table.entry_size);
  for (const elf_symbol& symbol : image.symbols) {
    FUZZ_CHECK(names_inside(symbol.name, bytes, strings.offset, strings.size));
    FUZZ_CHECK(names_inside(symbol.file, bytes, strings.offset, strings.size));
    if (symbol.binding != elf_value::k_stb_local) {
      FUZZ_CHECK(symbol.file.empty());
    }
    if (symbol.place == elf_symbol_place::in_section) {
      FUZZ_CHECK(symbol.section_index < image.sections.size());
    }
  }
}

void check_attribution(const elf_image& image) {
  c_memory_def definition;
  search_list searches;
  FUZZ_CHECK(definition.read(
      input_source::in_memory("PROGRAM 0x00000000 0x80000000\nMEMORY 0x80000000 0x7FFFFFFF\n"),
      searches));
  section_list program;
  section_list memory;
  reading_account account;
  const auto names = std::make_shared<section_name_pool>();  // outlives the records' names
  read_image_sections(image, definition, names, program, memory, &account);
  FUZZ_CHECK(account.sections.size() + 1 == std::max<std::size_t>(image.sections.size(), 1));
  std::vector<section_fate_record>& fates = account.sections;
  image_account image_sums;
  const std::vector<symbol_record> symbols =
      attribute_symbols(image, fates, image_sections_of(image, fates, true), image_sums);
  std::vector<std::uint64_t> held(fates.size(), 0);
  for (const symbol_record& symbol : symbols) {
    FUZZ_CHECK(symbol.section < fates.size());
    FUZZ_CHECK(is_counted(fates[symbol.section].fate));
    FUZZ_CHECK(symbol.bytes <= symbol.size);
    held[symbol.section] += symbol.bytes;
  }
  for (std::size_t i = 0; i < fates.size(); ++i) {
    FUZZ_CHECK(held[i] == fates[i].attributed);
    FUZZ_CHECK(fates[i].attributed <= fates[i].size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::make_shared<const std::string>(reinterpret_cast<const char*>(data), size);
  const elf_read_result result = read_elf_image_bytes(bytes);
  if (!result.ok) {
    FUZZ_CHECK(!result.error.empty());
    FUZZ_CHECK(result.image.sections.empty() && result.image.segments.empty() &&
               result.image.symbols.empty());
    return 0;
  }
  FUZZ_CHECK(result.error.empty());
  FUZZ_CHECK(result.image.bytes == bytes);
  check_accepted(result.image);
  check_attribution(result.image);

  // The same bytes as a text in memory read the same way.
  const elf_read_result again =
      read_elf_image(input_source::in_memory(std::string_view(*bytes), "fuzz.elf"));
  FUZZ_CHECK(again.ok);
  FUZZ_CHECK(again.image.sections.size() == result.image.sections.size());
  FUZZ_CHECK(again.image.symbols.size() == result.image.symbols.size());
  return 0;
}
