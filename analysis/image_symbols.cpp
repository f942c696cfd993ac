#include "analysis/image_symbols.h"

#include <cxxabi.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>
#include <memory>
#include <unordered_map>

#include "mapfile/c_map_file.h"

namespace {
constexpr std::uint64_t k_32_bits = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint16_t k_em_arm = 40;
constexpr std::uint8_t k_stt_tls = 6;

bool is_digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// The name without its last clone suffix or counter; the name itself when it has none.
std::string_view strip_once(std::string_view name, bool strip_counter) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) {
    return name;
  }
  const std::string_view last = name.substr(dot + 1);
  const std::string_view before = name.substr(0, dot);
  if (last == "cold") {
    return before;
  }
  if (!is_digits(last)) {
    return name;
  }
  const std::size_t dot2 = before.rfind('.');
  if (dot2 != std::string_view::npos && dot2 != 0) {
    const std::string_view word = before.substr(dot2 + 1);
    for (const std::string_view clone : {"isra", "part", "constprop", "lto_priv", "llvm", "cold"}) {
      if (word == clone) {
        return before.substr(0, dot2);
      }
    }
  }
  return strip_counter ? before : name;
}

symbol_binding binding_of(std::uint8_t binding) {
  if (binding == elf_value::k_stb_local) {
    return symbol_binding::local;
  }
  if (binding == elf_value::k_stb_weak) {
    return symbol_binding::weak;
  }
  return symbol_binding::global;  // STB_GLOBAL, STB_GNU_UNIQUE and the processor's own
}

std::optional<symbol_kind> kind_of(std::uint8_t type) {
  switch (type) {
    case elf_value::k_stt_func:
      return symbol_kind::function;
    case elf_value::k_stt_object:
      return symbol_kind::object;
    case k_stt_tls:
      return symbol_kind::tls;
    case elf_value::k_stt_notype:
      return symbol_kind::other;
    default:
      return std::nullopt;
  }
}

/// A symbol of the table that may hold bytes of a counted section.
struct candidate {
  std::size_t table_index = 0;
  std::size_t fate = 0;
  std::uint64_t address = 0;
  std::uint64_t size = 0;
  int rank = 0;  ///< global before weak before local
};
}  // namespace

std::string_view symbol_kind_keyword(symbol_kind kind) {
  switch (kind) {
    case symbol_kind::function:
      return "function";
    case symbol_kind::object:
      return "object";
    case symbol_kind::tls:
      return "tls";
    case symbol_kind::other:
      return "other";
  }
  return "other";
}

std::string_view symbol_binding_keyword(symbol_binding binding) {
  switch (binding) {
    case symbol_binding::global:
      return "global";
    case symbol_binding::weak:
      return "weak";
    case symbol_binding::local:
      return "local";
  }
  return "global";
}

bool read_image_sections(const elf_image& image, const c_memory_def& definition,
                         const std::shared_ptr<section_name_pool>& names,
                         section_list& program_sections, section_list& memory_sections,
                         reading_account* account) {
  section_fate_log log;
  std::vector<section_record> records;
  std::vector<record_origin> origins;
  for (std::size_t index = 1; index < image.sections.size(); ++index) {
    const elf_section& section = image.sections[index];
    section_record record;
    record.name = section_name(section.name, *names);
    section_detail detail;
    detail.traits = k_trait_attributes;
    if (section.allocated()) {
      detail.traits |= k_trait_alloc;
      if (section.has_contents()) {
        detail.traits |= k_trait_load;
      }
    }
    if (section.address > k_32_bits) {
      detail.traits |= k_trait_wide_start;
    } else {
      record.start = static_cast<std::uint32_t>(section.address);
    }
    if (section.size > k_32_bits) {
      detail.traits |= k_trait_wide_size;
    } else {
      record.size = static_cast<std::uint32_t>(section.size);
    }
    if (section.allocated() && section.load_address <= k_32_bits &&
        section.size <= k_32_bits - section.load_address) {
      detail.load_address = static_cast<std::uint32_t>(section.load_address);
    } else if (section.allocated()) {
      detail.traits |= k_trait_wide_load;
    }
    if (!section.allocated()) {
      log.add(record, index, section_fate::not_allocated, detail);
    } else if ((detail.traits & (k_trait_wide_start | k_trait_wide_size)) != 0) {
      log.add(record, index, section_fate::outside_ranges, detail);
    } else {
      records.push_back(record);
      origins.push_back({index, detail});
    }
  }
  c_map_file::place_all(definition, records, program_sections, memory_sections,
                        account != nullptr ? &log : nullptr, &origins);
  if (account != nullptr) {
    log.deliver(*account);
  }
  return !program_sections.empty() || !memory_sections.empty();
}

std::string symbol_key(std::string_view name, symbol_binding binding, std::string_view file,
                       bool strip_counter) {
  for (std::string_view stripped = strip_once(name, strip_counter); stripped != name;
       stripped = strip_once(name, strip_counter)) {
    name = stripped;
  }
  if (binding != symbol_binding::local || file.empty()) {
    return std::string(name);
  }
  std::string key(file);
  key += ':';
  key += name;
  return key;
}

std::string demangled_name(std::string_view name) {
  if (name.size() < 3 || name.substr(0, 2) != "_Z") {
    return std::string(name);
  }
  const std::string raw(name);
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> text(
      abi::__cxa_demangle(raw.c_str(), nullptr, nullptr, &status), std::free);
  return status == 0 && text ? std::string(text.get()) : raw;
}

std::vector<std::int64_t> image_sections_of(const elf_image& image,
                                            const std::vector<section_fate_record>& fates,
                                            bool as_map) {
  std::vector<std::int64_t> found(fates.size(), -1);
  if (as_map) {
    for (std::size_t i = 0; i < fates.size(); ++i) {
      if (fates[i].map_line >= 1 && fates[i].map_line < image.sections.size()) {
        found[i] = static_cast<std::int64_t>(fates[i].map_line);
      }
    }
    return found;
  }
  // The listings' readers drop a name's leading punctuation (.text is listed as text,
  // __stack_area as stack_area): names are matched without it, and the address tells two apart.
  const auto bare = [](std::string_view name) {
    const std::size_t first =
        std::find_if(name.begin(), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }) -
        name.begin();
    return name.substr(first);
  };
  std::unordered_multimap<std::string_view, std::size_t> by_name;
  for (std::size_t index = 1; index < image.sections.size(); ++index) {
    if (image.sections[index].allocated()) {
      by_name.emplace(bare(image.sections[index].name), index);
    }
  }
  for (std::size_t i = 0; i < fates.size(); ++i) {
    if (!is_counted(fates[i].fate)) {
      continue;
    }
    const auto [first, last] = by_name.equal_range(bare(fates[i].name.str()));
    for (auto it = first; it != last; ++it) {
      const elf_section& section = image.sections[it->second];
      if (static_cast<std::uint32_t>(section.address) == fates[i].start) {
        found[i] = static_cast<std::int64_t>(it->second);
        break;
      }
    }
  }
  return found;
}

std::vector<symbol_record> attribute_symbols(const elf_image& image,
                                             std::vector<section_fate_record>& fates,
                                             const std::vector<std::int64_t>& image_section_of,
                                             image_account& account) {
  std::vector<std::int64_t> fate_of_section(image.sections.size(), -1);
  for (std::size_t i = 0; i < fates.size() && i < image_section_of.size(); ++i) {
    if (image_section_of[i] >= 0 && is_counted(fates[i].fate) && fates[i].size_unit == 0) {
      fate_of_section[static_cast<std::size_t>(image_section_of[i])] = static_cast<std::int64_t>(i);
    }
  }
  const elf_segment* tls = nullptr;
  for (const elf_segment& segment : image.segments) {
    if (segment.type == elf_value::k_pt_tls) {
      tls = &segment;
      break;
    }
  }

  std::vector<candidate> candidates;
  candidates.reserve(image.symbols.size());
  for (std::size_t index = 1; index < image.symbols.size(); ++index) {
    const elf_symbol& symbol = image.symbols[index];
    if (!kind_of(symbol.type) || symbol.size == 0 || symbol.place != elf_symbol_place::in_section ||
        symbol.section_index >= fate_of_section.size() ||
        fate_of_section[symbol.section_index] < 0) {
      continue;
    }
    candidate entry;
    entry.table_index = index;
    entry.fate = static_cast<std::size_t>(fate_of_section[symbol.section_index]);
    entry.address = symbol.value;
    if (symbol.type == elf_value::k_stt_func && image.header.machine == k_em_arm) {
      entry.address &= ~std::uint64_t{1};
    }
    if (symbol.type == k_stt_tls && tls != nullptr) {
      entry.address += tls->virtual_address;  // a TLS symbol's value is its offset in the block
    }
    entry.size = symbol.size;
    entry.rank = static_cast<int>(binding_of(symbol.binding));
    candidates.push_back(entry);
  }
  std::sort(candidates.begin(), candidates.end(), [](const candidate& a, const candidate& b) {
    if (a.fate != b.fate) {
      return a.fate < b.fate;
    }
    if (a.address != b.address) {
      return a.address < b.address;
    }
    if (a.size != b.size) {
      return a.size > b.size;
    }
    return a.table_index < b.table_index;
  });

  std::vector<symbol_record> symbols;
  // At most one record per candidate: room for all of them, so that 200 000 records are not
  // moved again as the list grows.
  symbols.reserve(candidates.size());
  std::size_t current_fate = fates.size();
  std::uint64_t section_start = 0;
  std::uint64_t section_end = 0;
  std::uint64_t covered = 0;
  for (std::size_t i = 0; i < candidates.size();) {
    // Aliases stand together: the same section, address and size.
    std::size_t end = i + 1;
    while (end < candidates.size() && candidates[end].fate == candidates[i].fate &&
           candidates[end].address == candidates[i].address &&
           candidates[end].size == candidates[i].size) {
      ++end;
    }
    std::size_t chosen = i;
    for (std::size_t k = i + 1; k < end; ++k) {
      if (candidates[k].rank < candidates[chosen].rank) {
        chosen = k;
      }
    }
    const candidate& entry = candidates[chosen];
    section_fate_record& fate = fates[entry.fate];
    if (entry.fate != current_fate) {
      current_fate = entry.fate;
      const elf_section& section =
          image.sections[static_cast<std::size_t>(image_section_of[entry.fate])];
      section_start = section.address;
      section_end = section_start + fate.size;
      covered = section_start;
      fate.first_symbol = static_cast<std::uint32_t>(symbols.size());
    }
    const elf_symbol& table_entry = image.symbols[entry.table_index];
    symbol_record symbol;
    symbol.name = std::string(table_entry.name);
    symbol.display = demangled_name(table_entry.name);
    symbol.kind = *kind_of(table_entry.type);
    symbol.binding = binding_of(table_entry.binding);
    if (symbol.binding == symbol_binding::local) {
      symbol.file = std::string(table_entry.file);
    }
    symbol.key = symbol_key(table_entry.name, symbol.binding, symbol.file,
                            symbol.binding == symbol_binding::local);
    symbol.section = entry.fate;
    symbol.address = entry.address;
    symbol.size = entry.size;
    for (std::size_t k = i; k < end; ++k) {
      if (k != chosen) {
        symbol.aliases.emplace_back(image.symbols[candidates[k].table_index].name);
      }
    }
    // Aliases in table order, as the candidates of one address are.
    const std::uint64_t symbol_end =
        entry.size > std::numeric_limits<std::uint64_t>::max() - entry.address
            ? std::numeric_limits<std::uint64_t>::max()
            : entry.address + entry.size;
    const std::uint64_t from = std::max(entry.address, section_start);
    const std::uint64_t to = std::min(symbol_end, section_end);
    if (entry.address < section_start || symbol_end > section_end) {
      ++account.cut_symbols;
    }
    const std::uint64_t inside = to > from ? to - from : 0;
    const std::uint64_t own_from = std::max(from, covered);
    symbol.bytes = to > own_from ? to - own_from : 0;
    if (inside > symbol.bytes) {
      ++account.overlapping_symbols;
      account.overlap_bytes += inside - symbol.bytes;
    }
    covered = std::max(covered, to);
    fate.attributed += static_cast<std::uint32_t>(symbol.bytes);
    ++fate.symbol_count;
    symbols.push_back(std::move(symbol));
    i = end;
  }
  return symbols;
}
