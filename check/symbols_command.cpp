#include "check/symbols_command.h"

#include "check/explain.h"
#include "check/run_check.h"
#include "compare/compare_text.h"
#include "formats/format_text.h"
#include "formats/report_formats.h"

namespace {
const char* unit_of(const section_fate_record& record) {
  return record.size_unit == 1 ? "bits" : "bytes";
}

std::string sum_text(std::uint64_t attributed, std::uint64_t unattributed, const char* total,
                     std::uint64_t whole, const char* unit) {
  return "attributed " + std::to_string(attributed) + " + unattributed " +
         std::to_string(unattributed) + " = " + total + ' ' + std::to_string(whole) + ' ' + unit;
}

std::string name_text(const symbol_record& symbol) {
  std::string text = compare_text::terminal_text(symbol.name);
  if (symbol.display != symbol.name) {
    text += " (" + compare_text::terminal_text(symbol.display) + ')';
  }
  return text;
}

void write_range(std::ostream& out, const memory_analysis& memory, const symbol_range_view& range,
                 const symbol_query& query) {
  const range_usage& usage = usage_of(memory, range);
  const std::string id = range_id(range.program, range.index);
  out << id << "  start " << hex_address(usage.range.start) << "  size " << usage.range.size
      << " bytes";
  if (usage.label) {
    out << "  " << compare_text::terminal_text(*usage.label);
  }
  out << '\n';
  if (range.shown.empty()) {
    out << "no symbols\n";
  } else {
    compare_text::table table;
    table.header = {"bytes", "kind", "name", "section"};
    table.align = "rlll";
    for (const std::size_t index : range.shown) {
      const symbol_record& symbol = memory.symbols[index];
      table.rows.push_back({std::to_string(symbol.bytes),
                            std::string(symbol_kind_keyword(symbol.kind)), name_text(symbol),
                            compare_text::terminal_text(memory.fates[symbol.section].name.str())});
    }
    compare_text::write_text_table(out, table);
  }
  if (query.section) {
    for (const std::size_t index : range.sections) {
      const section_fate_record& fate = memory.fates[index];
      out << compare_text::terminal_text(fate.name.str()) << " at " << hex_address(fate.start)
          << ": "
          << sum_text(fate.attributed, fate.unattributed(), "size", fate.size, unit_of(fate))
          << '\n';
    }
  }
  out << id << ": "
      << sum_text(usage.attributed_bytes, usage.unattributed_bytes(), "used", usage.used_rounded(),
                  "bytes")
      << "; shown " << range.shown.size() << " of "
      << plural_text(range.symbols.size(), "symbol", "symbols") << '\n';
}

symbol_order order_of(const std::string& keyword) {
  return keyword == "address" ? symbol_order::address
         : keyword == "name"  ? symbol_order::name
                              : symbol_order::bytes;
}

bool has_counted_section(const memory_analysis& memory, const std::string& name) {
  for (const section_fate_record& fate : memory.fates) {
    if (is_counted(fate.fate) && fate.name.str() == name) {
      return true;
    }
  }
  return false;
}
}  // namespace

void write_symbols_text(std::ostream& out, const memory_analysis& memory, const symbol_view& view,
                        const symbol_query& query) {
  bool first = true;
  for (const symbol_range_view& range : view.ranges) {
    if (!first) {
      out << '\n';
    }
    first = false;
    write_range(out, memory, range, query);
  }
  if (query.group && *query.group < memory.breakdown.entries.size()) {
    const search_breakdown::entry& entry = memory.breakdown.entries[*query.group];
    out << (first ? "" : "\n") << "SEARCH " << *query.group << " ("
        << compare_text::terminal_text(
               search_entry_text(memory, static_cast<std::int32_t>(*query.group)))
        << "): "
        << sum_text(entry.attributed_bytes, entry.bytes - entry.attributed_bytes, "total",
                    entry.bytes, "bytes")
        << '\n';
  }
}

CLI::App* add_symbols_command(CLI::App& app, input_options& inputs, symbols_options& options) {
  CLI::App* command = app.add_subcommand(
      "symbols",
      "The largest symbols of each range, from the image (keyword Elf, or --elf beside a "
      "listing), each range closed by attributed + unattributed = used bytes");
  add_inputs(*command, inputs, false);
  command->add_option("--range", options.range, "Only range ID (program0, memory1 ...)")
      ->type_name("ID");
  command->add_option("--group", options.group, "Only the sections of SEARCH entry N (0, 1 ...)")
      ->type_name("N")
      ->check(CLI::NonNegativeNumber);
  command->add_option("--section", options.section, "Only the counted sections named NAME")
      ->type_name("NAME");
  command
      ->add_option("--top", options.top,
                   "Symbols shown per range, the largest by bytes (default 20, 0: all); CSV "
                   "lists all")
      ->type_name("N")
      // CLI11 takes "-1" for an unsigned number as its wrapped value.
      ->check(CLI::NonNegativeNumber);
  command
      ->add_option(
          "--sort", options.sort,
          "Order of the shown symbols: size (the most bytes first, the default), address, name")
      ->check(CLI::IsMember({"size", "address", "name"}));
  command->add_option("--format", options.format, "Output form (default text)")
      ->check(CLI::IsMember({"text", "json", "csv"}));
  return command;
}

int run_symbols(const input_options& inputs, const symbols_options& options,
                const CLI::App& command, std::ostream& out) {
  require_image(inputs, "symbols");
  const checked_inputs checked = check_inputs(inputs);
  const analysis_result result = analyse_inputs(inputs, checked);
  const memory_analysis& memory = result.memory;
  require_own_image(memory, inputs);

  symbol_query query;
  query.top = options.top;
  query.order = order_of(options.sort);
  if (command.count("--range") > 0) {
    require_range(memory, options.range, inputs.definition, "--range");
    query.range = options.range;
  }
  if (command.count("--group") > 0) {
    const std::size_t count = memory.breakdown.entries.size();
    if (options.group >= count) {
      throw check_error{
          check_exit_usage,
          "--group: no SEARCH entry " + std::to_string(options.group) + " in " + inputs.definition +
              (count == 0 ? std::string(" (it has none)")
                          : " (its entries: 0 to " + std::to_string(count - 1) + ")")};
    }
    query.group = options.group;
  }
  if (command.count("--section") > 0) {
    if (!has_counted_section(memory, options.section)) {
      throw check_error{check_exit_usage,
                        "--section: no counted section is named \"" + options.section +
                            "\" (vemora-check explain --fate counted lists them)"};
    }
    query.section = options.section;
  }
  const symbol_view view = select_symbols(memory, query);
  if (options.format == "csv") {
    write_symbols_csv(out, memory, view);
  } else if (options.format == "json") {
    write_symbols_json(out, memory, view);
  } else {
    write_symbols_text(out, memory, view, query);
  }
  out.flush();
  return check_exit_done;
}
