#include "formats/symbol_formats.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "formats/format_text.h"
#include "formats/report_formats.h"

namespace {
constexpr const char* k_csv_line_end = "\r\n";

/// csv_field(text) appended to out; a plain ASCII field without comma, quote, CR or LF, as
/// almost every symbol name is, without the copies csv_field makes.
void append_csv_field(std::string& out, std::string_view text) {
  for (const char c : text) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n' || static_cast<unsigned char>(c) >= 0x80) {
      out += csv_field(text);
      return;
    }
  }
  out += text;
}

bool picked(const section_fate_record& fate, bool program, std::size_t range,
            const symbol_query& query) {
  if (!is_counted(fate.fate) || (fate.fate == section_fate::counted_program) != program ||
      fate.range_index < 0 || static_cast<std::size_t>(fate.range_index) != range) {
    return false;
  }
  if (query.group && (fate.group < 0 || static_cast<std::size_t>(fate.group) != *query.group)) {
    return false;
  }
  return !query.section || fate.name.str() == *query.section;
}

/// The symbols in the order asked for; ties keep the analysis's order (section, address).
void order_symbols(const memory_analysis& memory, std::vector<std::size_t>& symbols,
                   symbol_order order) {
  const std::vector<symbol_record>& all = memory.symbols;
  switch (order) {
    case symbol_order::bytes:
      std::stable_sort(symbols.begin(), symbols.end(), [&all](std::size_t a, std::size_t b) {
        return all[a].bytes > all[b].bytes;
      });
      return;
    case symbol_order::address:
      std::stable_sort(symbols.begin(), symbols.end(), [&all](std::size_t a, std::size_t b) {
        return all[a].address < all[b].address;
      });
      return;
    case symbol_order::name:
      std::stable_sort(symbols.begin(), symbols.end(),
                       [&all](std::size_t a, std::size_t b) { return all[a].name < all[b].name; });
      return;
  }
}

nlohmann::ordered_json symbol_json(const memory_analysis& memory, const symbol_record& symbol) {
  nlohmann::ordered_json object;
  object["name"] = utf8_with_latin1_fallback(symbol.name);
  object["display"] = utf8_with_latin1_fallback(symbol.display);
  object["key"] = utf8_with_latin1_fallback(symbol.key);
  object["kind"] = std::string(symbol_kind_keyword(symbol.kind));
  object["binding"] = std::string(symbol_binding_keyword(symbol.binding));
  object["file"] = symbol.file.empty()
                       ? nlohmann::ordered_json()
                       : nlohmann::ordered_json(utf8_with_latin1_fallback(symbol.file));
  object["section"] = utf8_with_latin1_fallback(memory.fates[symbol.section].name.str());
  object["address"] = symbol.address;
  object["size"] = symbol.size;
  object["bytes"] = symbol.bytes;
  nlohmann::ordered_json aliases = nlohmann::ordered_json::array();
  for (const std::string& alias : symbol.aliases) {
    aliases.push_back(utf8_with_latin1_fallback(alias));
  }
  object["aliases"] = std::move(aliases);
  return object;
}
}  // namespace

symbol_view select_symbols(const memory_analysis& memory, const symbol_query& query) {
  symbol_view view;
  const bool filtered = query.group.has_value() || query.section.has_value();
  for (const bool program : {true, false}) {
    const std::size_t count = (program ? memory.program_usage : memory.memory_usage).size();
    for (std::size_t index = 0; index < count; ++index) {
      const bool named = query.range.has_value();
      if (named && *query.range != range_id(program, index)) {
        continue;
      }
      symbol_range_view range;
      range.program = program;
      range.index = index;
      for (std::size_t i = 0; i < memory.fates.size(); ++i) {
        const section_fate_record& fate = memory.fates[i];
        if (!picked(fate, program, index, query)) {
          continue;
        }
        range.sections.push_back(i);
        for (std::size_t k = 0; k < fate.symbol_count; ++k) {
          const std::size_t symbol = std::size_t{fate.first_symbol} + k;
          if (symbol < memory.symbols.size()) {
            range.symbols.push_back(symbol);
          }
        }
      }
      if (filtered && !named && range.sections.empty()) {
        continue;
      }
      // The largest first, also for the other orders: --top picks by bytes, the order sorts
      // what it picked.
      order_symbols(memory, range.symbols, symbol_order::bytes);
      const std::size_t shown =
          query.top == 0 ? range.symbols.size() : std::min(query.top, range.symbols.size());
      range.shown.assign(range.symbols.begin(),
                         range.symbols.begin() + static_cast<std::ptrdiff_t>(shown));
      if (query.order != symbol_order::bytes) {
        // Back to the analysis's order first, so that ties of the order stay in it.
        std::sort(range.symbols.begin(), range.symbols.end());
        std::sort(range.shown.begin(), range.shown.end());
        order_symbols(memory, range.symbols, query.order);
        order_symbols(memory, range.shown, query.order);
      }
      view.ranges.push_back(std::move(range));
    }
  }
  return view;
}

const range_usage& usage_of(const memory_analysis& memory, const symbol_range_view& range) {
  return (range.program ? memory.program_usage : memory.memory_usage)[range.index];
}

std::string symbol_address_text(std::uint64_t address) {
  if (address <= 0xFFFFFFFFu) {
    return hex_address(static_cast<std::uint32_t>(address));
  }
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(address));
  return text;
}

void write_symbols_csv(std::ostream& out, const memory_analysis& memory, const symbol_view& view) {
  out << "name,display,kind,binding,file,section,range,group,address,size,key,bytes"
      << k_csv_line_end;
  // A row at a time into one buffer, written in blocks: a listing of 200 000 symbols is no
  // 200 000 small writes to the stream.
  std::string block;
  for (const symbol_range_view& range : view.ranges) {
    const std::string id = range_id(range.program, range.index);
    for (const std::size_t index : range.symbols) {
      const symbol_record& symbol = memory.symbols[index];
      const section_fate_record& section = memory.fates[symbol.section];
      append_csv_field(block, symbol.name);
      block += ',';
      append_csv_field(block, symbol.display);
      block += ',';
      block += symbol_kind_keyword(symbol.kind);
      block += ',';
      block += symbol_binding_keyword(symbol.binding);
      block += ',';
      append_csv_field(block, symbol.file);
      block += ',';
      append_csv_field(block, section.name.str());
      block += ',';
      block += id;
      block += ',';
      if (section.group >= 0) {
        block += std::to_string(section.group);
      }
      block += ',';
      block += symbol_address_text(symbol.address);
      block += ',';
      block += std::to_string(symbol.size);
      block += ',';
      append_csv_field(block, symbol.key);
      block += ',';
      block += std::to_string(symbol.bytes);
      block += k_csv_line_end;
      if (block.size() >= 64 * 1024) {
        out << block;
        block.clear();
      }
    }
  }
  out << block;
}

void write_symbols_json(std::ostream& out, const memory_analysis& memory, const symbol_view& view) {
  // Each range and symbol object made by the library; the document around them by hand, one
  // symbol a line, so that a long list never sits in memory as one document.
  out << "{\n  \"ranges\": [";
  bool first_range = true;
  for (const symbol_range_view& range : view.ranges) {
    const range_usage& usage = usage_of(memory, range);
    nlohmann::ordered_json head;
    head["id"] = range_id(range.program, range.index);
    head["used"] = usage.used_rounded();
    head["attributed"] = usage.attributed_bytes;
    head["unattributed"] = usage.unattributed_bytes();
    head["symbol_count"] = range.symbols.size();
    std::string text = head.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    text.pop_back();  // the closing brace: the symbols follow
    out << (first_range ? "\n    " : ",\n    ") << text << ",\"symbols\":[";
    first_range = false;
    bool first_symbol = true;
    for (const std::size_t index : range.shown) {
      out << (first_symbol ? "\n      " : ",\n      ")
          << symbol_json(memory, memory.symbols[index]).dump();
      first_symbol = false;
    }
    out << (first_symbol ? "]}" : "\n    ]}");
  }
  out << (first_range ? "]\n}\n" : "\n  ]\n}\n");
}
