// The symbols of an image per range, as `vemora-check symbols` lists them and `report
// --csv-symbols` writes them: a view that picks and orders the analysis's symbols (one range, a
// SEARCH entry, a section; the largest first), and its JSON and CSV writers. The view holds
// indices into the analysis only; every figure the writers print is the analysis's own.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/analysis.h"

/// How the symbols of a range are ordered: bytes (largest first), address, name.
enum class symbol_order { bytes, address, name };

/// Which symbols are picked; every filter given must hold.
struct symbol_query {
  std::optional<std::string> range;    ///< a range id ("program0", "memory1"); none: every range
  std::optional<std::size_t> group;    ///< a SEARCH entry's index
  std::optional<std::string> section;  ///< a counted section's name, exactly
  /// Symbols shown per range (text, JSON): the largest by bytes; 0: all. CSV lists all.
  std::size_t top = 20;
  symbol_order order = symbol_order::bytes;
};

/// One range of the view.
struct symbol_range_view {
  bool program = true;
  std::size_t index = 0;              ///< into program_usage or memory_usage
  std::vector<std::size_t> sections;  ///< the picked counted sections of the range (fates)
  std::vector<std::size_t> symbols;   ///< every picked symbol, in the query's order
  std::vector<std::size_t> shown;     ///< the `top` largest of them, in the query's order
};

struct symbol_view {
  /// The ranges in report order (program, then memory). Without a filter every range; with
  /// --group or --section only those holding a picked section; with --range that one.
  std::vector<symbol_range_view> ranges;
};

/// The view of a query. A range id, group or section that the analysis lacks picks nothing:
/// the caller refuses those first.
symbol_view select_symbols(const memory_analysis& memory, const symbol_query& query);

/// The range's used bytes, its figures from the analysis.
const range_usage& usage_of(const memory_analysis& memory, const symbol_range_view& range);

/// "0x" and eight upper-case hexadecimal digits, sixteen for an address beyond 32 bits.
std::string symbol_address_text(std::uint64_t address);

/// One row per picked symbol (all of them, whatever the top), in the view's order, CSV as the
/// other writers have it (write_sections_csv): name,display,kind,binding,file,section,range,
/// group (the section's SEARCH entry; empty for none),address,size, then key,bytes.
void write_symbols_csv(std::ostream& out, const memory_analysis& memory, const symbol_view& view);

/// {"ranges": [{"id", "used", "attributed", "unattributed", "symbol_count", "symbols": [...]}]}
/// with the shown symbols, one a line: {"name", "display", "key", "kind", "binding", "file"
/// (null for none), "section" (its name), "address", "size", "bytes", "aliases"}.
void write_symbols_json(std::ostream& out, const memory_analysis& memory, const symbol_view& view);
