#include "analysis/analysis.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "mapfile/c_map_file_altium.h"
#include "mapfile/c_map_file_elxr.h"
#include "mapfile/c_map_file_elxr_mem32_unlimited.h"
#include "mapfile/c_map_file_elxr_orm8.h"
#include "mapfile/c_map_file_elxr_pux_ecu_4x.h"

namespace {
constexpr const char* k_prefix = "Vemora:\t";

analysis_failure memory_failure(std::vector<std::string> messages) {
  return {analysis_step::memory_report, std::move(messages), {}};
}

std::vector<range_usage> usage_of(const std::vector<memory_range>& ranges) {
  std::vector<range_usage> usage(ranges.size());
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    usage[i].range = ranges[i];
  }
  return usage;
}

std::uint64_t exact_total(const std::vector<memory_range>& ranges) {
  std::uint64_t total = 0;
  for (const memory_range& range : ranges) {
    total += range.size;
  }
  return total;
}

std::optional<double> percent(double part, double whole) {
  if (whole == 0) {
    return std::nullopt;
  }
  return part * 100.0 / whole;
}

/// Each range's definition line and the "//" comment on it, read the way
/// c_memory_def::read reads the file.
void note_range_lines(const input_source& definition, memory_analysis& analysis) {
  line_reader reader(c_memory_def::k_max_line);
  if (!reader.open(definition)) {
    return;
  }
  std::size_t program = 0;
  std::size_t memory = 0;
  search_list ignored;
  std::string_view line;
  while (reader.next(line)) {
    memory_range range;
    line_reading reading;
    const line_kind kind = c_memory_def::parse_line(line, range, ignored, &reading);
    ignored.clear();
    range_usage* usage = nullptr;
    if (kind == line_program && program < analysis.program_usage.size()) {
      usage = &analysis.program_usage[program++];
    } else if (kind == line_memory && memory < analysis.memory_usage.size()) {
      usage = &analysis.memory_usage[memory++];
    }
    if (usage == nullptr) {
      continue;
    }
    usage->definition_line = static_cast<std::size_t>(reader.line_number());
    if (reading.comment) {
      std::string_view label = line.substr(reading.first_slash + 2);
      const std::size_t first = label.find_first_not_of(" \t\r");
      const std::size_t last = label.find_last_not_of(" \t\r");
      label = first == std::string_view::npos ? std::string_view()
                                              : label.substr(first, last - first + 1);
      usage->label = std::string(label);
    }
  }
}

/// The sums by fate, and for each section counted in a program range its
/// place in the program list and the SEARCH entry that counted it. The list
/// holds the counted sections in ascending start order, the later one first
/// among equal starts; the fates come in the order the list took them.
void note_fates(memory_analysis& analysis) {
  std::vector<std::size_t> counted;
  for (std::size_t i = 0; i < analysis.fates.size(); ++i) {
    const section_fate_record& fate = analysis.fates[i];
    fate_sum& sum = analysis.by_fate[static_cast<std::size_t>(fate.fate)];
    ++sum.sections;
    sum.bytes += fate.size;
    if (fate.fate == section_fate::counted_program) {
      counted.push_back(i);
    }
  }
  std::vector<std::size_t> order(counted.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = order.size() - 1 - i;  // the later one first among equal starts
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return analysis.fates[counted[a]].start < analysis.fates[counted[b]].start;
  });
  std::vector<std::int32_t> group_of(order.size(), -1);
  for (std::size_t entry = 0; entry < analysis.breakdown.entries.size(); ++entry) {
    for (const std::uint32_t section : analysis.breakdown.entries[entry].sections) {
      if (section < group_of.size()) {
        group_of[section] = static_cast<std::int32_t>(entry);
      }
    }
  }
  for (std::size_t place = 0; place < order.size(); ++place) {
    section_fate_record& fate = analysis.fates[counted[order[place]]];
    fate.program_index = static_cast<std::int64_t>(place);
    fate.group = group_of[place];
  }
}

/// The exact sums per range and per area, beside the report's wrapping ones.
void sum_exactly(memory_analysis& analysis) {
  analysis.program_usage = usage_of(analysis.definition.program_ranges);
  analysis.memory_usage = usage_of(analysis.definition.memory_ranges);
  analysis.program_total = exact_total(analysis.definition.program_ranges);
  analysis.memory_total = exact_total(analysis.definition.memory_ranges);
  for (const section_record& record : analysis.program_sections) {
    range_usage& usage = analysis.program_usage[static_cast<std::size_t>(record.range_index)];
    usage.used_bytes += record.size;
    ++usage.section_count;
    analysis.program_used += record.size;
  }
  analysis.memory_sections.visit_in_any_order([&analysis](const section_record& record) {
    range_usage& usage = analysis.memory_usage[static_cast<std::size_t>(record.range_index)];
    ++usage.section_count;
    if (record.size_unit == 1) {
      usage.used_bits += record.size;
      analysis.memory_used_bits += record.size;
    } else {
      usage.used_bytes += record.size;
      analysis.memory_used_bytes += record.size;
    }
  });
}
/// The load copies: each section with contents whose load address differs
/// from its run address puts its initial values into the range that holds
/// its load address, when that range did not count the section itself.
void note_load_copies(memory_analysis& analysis) {
  for (section_fate_record& fate : analysis.fates) {
    if (!fate.has(k_trait_load) || !fate.detail.load_address || fate.size_unit != 0 ||
        fate.size == 0 || *fate.detail.load_address == fate.start) {
      continue;
    }
    section_record copy;
    copy.start = *fate.detail.load_address;
    copy.size = fate.size;
    const c_memory_def& definition = analysis.definition;
    const bool program = definition.find_range(copy, definition.program_ranges);
    if (!program && !definition.find_range(copy, definition.memory_ranges)) {
      continue;
    }
    const bool counted_here =
        fate.range_index == copy.range_index &&
        fate.fate == (program ? section_fate::counted_program : section_fate::counted_memory);
    if (counted_here) {
      continue;
    }
    fate.load_copy_range = copy.range_index;
    fate.load_copy_in_program = program;
    range_usage& usage =
        (program ? analysis.program_usage
                 : analysis.memory_usage)[static_cast<std::size_t>(copy.range_index)];
    ++usage.load_copy_sections;
    usage.load_copy_bytes += fate.size;
    if (program) {
      ++analysis.program_load_copy_sections;
      analysis.program_load_copy_bytes += fate.size;
    }
  }
}

/// The image's symbols in the counted sections, and their sums per range and SEARCH entry.
void note_symbols(const elf_image& image, bool image_map, const std::string& path,
                  memory_analysis& analysis) {
  image_account& account = analysis.image;
  account.given = true;
  account.as_map = image_map;
  account.path = path;
  account.machine = image.header.machine;
  const std::vector<std::int64_t> image_section_of =
      image_sections_of(image, analysis.fates, image_map);
  for (std::size_t i = 0; i < analysis.fates.size(); ++i) {
    if (!is_counted(analysis.fates[i].fate)) {
      continue;
    }
    if (image_section_of[i] >= 0) {
      ++account.matched_sections;
    } else if (!image_map) {
      account.unmatched_sections.push_back(i);
    }
  }
  analysis.symbols = attribute_symbols(image, analysis.fates, image_section_of, account);
  for (const section_fate_record& fate : analysis.fates) {
    if (fate.attributed == 0) {
      continue;
    }
    const bool program = fate.fate == section_fate::counted_program;
    range_usage& usage =
        (program ? analysis.program_usage
                 : analysis.memory_usage)[static_cast<std::size_t>(fate.range_index)];
    usage.attributed_bytes += fate.attributed;
    (program ? analysis.program_attributed : analysis.memory_attributed) += fate.attributed;
    if (fate.group >= 0) {
      analysis.breakdown.entries[static_cast<std::size_t>(fate.group)].attributed_bytes +=
          fate.attributed;
    }
  }
}

bool holds_text(const input_source& map, std::initializer_list<std::string_view> headings) {
  line_reader reader(4095);
  if (!reader.open(map)) {
    return false;
  }
  std::string_view line;
  while (reader.next(line)) {
    for (const std::string_view heading : headings) {
      if (line.find(heading) != std::string_view::npos) {
        return true;
      }
    }
  }
  return false;
}
}  // namespace

map_form sniff_map_form(const input_source& map) {
  constexpr std::size_t k_first_block = 4096;
  std::string head(k_first_block, '\0');
  std::size_t got = 0;
  if (map.text) {
    got = std::min(k_first_block, map.text->size());
    head.assign(map.text->data(), got);
  } else {
    std::ifstream file(map.path, std::ios::binary);
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    got = static_cast<std::size_t>(file.gcount());
    head.resize(got);
  }
  if (head.compare(0, 4,
                   "\x7f"
                   "ELF") == 0) {
    return map_form::elf_file;
  }
  if (head.find('\0') != std::string::npos) {
    return map_form::binary_file;
  }
  if (holds_text(map, {"Memory Configuration", "Linker script and memory map"})) {
    return map_form::linker_map;
  }
  return map_form::no_listing;
}

std::string_view map_form_text(map_form form) {
  switch (form) {
    case map_form::listing:
      return "a section listing";
    case map_form::elf_file:
      return "an ELF file";
    case map_form::linker_map:
      return "a GNU ld map file";
    case map_form::binary_file:
      return "not a text file";
    case map_form::no_listing:
      return "a text without any section listing";
  }
  return "a text without any section listing";
}

std::optional<double> range_usage::used_pct() const {
  return percent(static_cast<double>(used_rounded()), range.size);
}

fate_sum memory_analysis::dropped() const {
  fate_sum sum;
  for (std::size_t i = 0; i < k_fate_count; ++i) {
    if (!is_counted(static_cast<section_fate>(i))) {
      sum.sections += by_fate[i].sections;
      sum.bytes += by_fate[i].bytes;
    }
  }
  return sum;
}

fate_sum memory_analysis::counted() const {
  fate_sum sum;
  for (std::size_t i = 0; i < k_fate_count; ++i) {
    if (is_counted(static_cast<section_fate>(i))) {
      sum.sections += by_fate[i].sections;
      sum.bytes += by_fate[i].bytes;
    }
  }
  return sum;
}

fate_sum memory_analysis::recognised() const {
  const fate_sum in_ranges = counted();
  const fate_sum left_out = dropped();
  return {in_ranges.sections + left_out.sections, in_ranges.bytes + left_out.bytes};
}

std::optional<double> memory_analysis::program_used_pct() const {
  return percent(static_cast<double>(program_used), static_cast<double>(program_total));
}

std::optional<double> memory_analysis::memory_used_pct() const {
  return percent(static_cast<double>(memory_used_bytes + ((memory_used_bits + 4) >> 3)),
                 static_cast<double>(memory_total));
}

const range_usage* memory_analysis::range_of(const symbol_record& symbol) const {
  if (symbol.section >= fates.size()) {
    return nullptr;
  }
  const section_fate_record& fate = fates[symbol.section];
  const std::vector<range_usage>& usage =
      fate.fate == section_fate::counted_program ? program_usage : memory_usage;
  if (!is_counted(fate.fate) || fate.range_index < 0 ||
      static_cast<std::size_t>(fate.range_index) >= usage.size()) {
    return nullptr;
  }
  return &usage[static_cast<std::size_t>(fate.range_index)];
}

std::optional<double> memory_analysis::share_of_range(const symbol_record& symbol) const {
  const range_usage* range = range_of(symbol);
  if (range == nullptr) {
    return std::nullopt;
  }
  return percent(static_cast<double>(symbol.bytes), static_cast<double>(range->used_rounded()));
}

std::optional<double> memory_analysis::program_average() const {
  if (program_sections.empty()) {
    return std::nullopt;
  }
  return static_cast<double>(program_used) / static_cast<double>(program_sections.size());
}

std::optional<double> memory_analysis::memory_average() const {
  if (memory_sections.empty()) {
    return std::nullopt;
  }
  return memory_used() / static_cast<double>(memory_sections.size());
}

eep_totals compute_eep_totals(const eep_sizes& sizes) {
  eep_totals totals;
  totals.triple_total = 3u * (sizes.triple_data_size + sizes.triple_data_free);
  totals.triple_used = 3u * sizes.triple_data_size;
  totals.triple_free = 3u * sizes.triple_data_free;
  totals.once_total = sizes.once_data_size + sizes.once_data_free;
  totals.overall_total = totals.once_total + totals.triple_total;
  totals.overall_used = sizes.once_data_size + totals.triple_used;
  totals.overall_free = sizes.once_data_free + totals.triple_free;
  return totals;
}

eep_totals_exact compute_eep_totals_exact(const eep_sizes& sizes) {
  eep_totals_exact totals;
  totals.once_used = sizes.once_data_size;
  totals.once_free = sizes.once_data_free;
  totals.once_total = totals.once_used + totals.once_free;
  totals.triple_used = 3 * std::uint64_t{sizes.triple_data_size};
  totals.triple_free = 3 * std::uint64_t{sizes.triple_data_free};
  totals.triple_total = totals.triple_used + totals.triple_free;
  totals.overall_used = totals.once_used + totals.triple_used;
  totals.overall_free = totals.once_free + totals.triple_free;
  totals.overall_total = totals.overall_used + totals.overall_free;
  return totals;
}

std::unique_ptr<c_map_file> make_map_reader(const std::string& type_keyword,
                                            const input_source& map_file_path) {
  if (type_keyword == "Orm6") {
    return std::make_unique<c_map_file_altium>(map_file_path);
  }
  if (type_keyword == "Tev2") {
    return std::make_unique<c_map_file_elxr>(map_file_path);
  }
  if (type_keyword == "Tev2_mem32_unlimited") {
    return std::make_unique<c_map_file_elxr_mem32_unlimited>(map_file_path);
  }
  if (type_keyword == "Orm8") {
    return std::make_unique<c_map_file_elxr_orm8>(map_file_path);
  }
  if (type_keyword == "Pux4") {
    return std::make_unique<c_map_file_elxr_pux_ecu_4x>(map_file_path);
  }
  return nullptr;
}

memory_totals compute_totals(const c_memory_def& definition, const section_list& program_sections,
                             const section_list& memory_sections) {
  memory_totals totals;
  const auto add_memory = [&totals](const section_record& record) {
    if (record.size_unit == 1) {
      totals.bit_count += record.size;
      totals.memory_floating_sum += record.size * 0.125;
    } else {
      totals.memory_bytes += record.size;
      totals.memory_floating_sum += record.size;
    }
  };
  // The memory list is only summed. The integer sums wrap the same in any
  // order, and the floating sum, a multiple of 1/8, is exact in any order
  // while it stays below 2^50, which fewer than 2^18 sizes of 32 bits cannot
  // reach: such a list need not be put in order first.
  if (memory_sections.size() < (std::size_t{1} << 18)) {
    memory_sections.visit_in_any_order(add_memory);
  } else {
    for (const section_record& record : memory_sections) {
      add_memory(record);
    }
  }
  totals.seg_used.assign(definition.program_ranges.size(), 0);
  for (const section_record& record : program_sections) {
    totals.program_bytes += record.size;
    totals.program_floating_sum += record.size;
    totals.seg_used[static_cast<std::size_t>(record.range_index)] += record.size;
  }
  totals.memory_total = c_memory_def::total_size(definition.memory_ranges);
  totals.program_total = c_memory_def::total_size(definition.program_ranges);
  totals.memory_records = memory_sections.size();
  totals.program_records = program_sections.size();
  return totals;
}

memory_analysis analyse_memory(const analysis_request& request) {
  memory_analysis analysis;
  const input_source definition(request.definition_path, request.definition_text);
  const input_source map(request.map_path, request.map_text);
  if (!definition.given()) {
    analysis.failure = memory_failure({std::string(k_prefix) + "No map def. file name."});
    return analysis;
  }
  if (!map.given()) {
    analysis.failure = memory_failure({std::string(k_prefix) + "No map file name."});
    return analysis;
  }

  const bool definition_read = analysis.definition.read(definition, analysis.searches);
  const bool image_map = request.image_keywords && request.type_keyword == k_image_keyword;
  const input_source image_source =
      image_map ? map : input_source(request.image_path, request.image_text);

  std::unique_ptr<c_map_file> reader;
  if (!image_map) {
    reader = make_map_reader(request.type_keyword, map);
    if (!reader) {
      analysis.failure =
          memory_failure({std::string(k_prefix) + "Map definition file type is not supported."});
      return analysis;
    }
  }
  std::optional<elf_read_result> image;
  if (image_source.given()) {
    image = read_elf_image(image_source);
  }
  const bool map_open = image_map ? image->ok : reader->is_open;
  if (!definition_read) {
    analysis.failure = memory_failure({std::string(k_prefix) + "Invalid memory definition file."});
    if (!map_open) {
      analysis.failure.messages.push_back(std::string(k_prefix) + "Invalid memory map file.");
    }
    return analysis;
  }
  if (!map_open) {
    analysis.failure = memory_failure({std::string(k_prefix) + "Invalid memory map file."});
    if (image_map) {
      analysis.failure.image_error = image->error;
    }
    return analysis;
  }
  if (image && !image->ok) {
    analysis.failure = memory_failure({std::string(k_prefix) + "Invalid ELF image."});
    analysis.failure.image_error = image->error;
    return analysis;
  }

  // Symbols are attributed to the sections the account keeps.
  const bool collect_fates = request.collect_fates || image.has_value();
  reading_account account;
  if (image_map) {
    analysis.names = std::make_shared<section_name_pool>();
    analysis.has_sections =
        read_image_sections(image->image, analysis.definition, analysis.names,
                            analysis.program_sections, analysis.memory_sections, &account);
  } else {
    if (collect_fates) {
      reader->set_account(&account);
    }
    if (auto* elxr = dynamic_cast<c_map_file_elxr*>(reader.get())) {
      elxr->set_stretching(request.stretching);
    }
    // The records' names live in the reader's pool, which outlasts the reader.
    analysis.names = reader->name_pool();
    analysis.has_sections =
        reader->read(analysis.definition, analysis.program_sections, analysis.memory_sections);
    reader.reset();
  }
  // In order now, so that no const read of a shared result sorts it later:
  // the lists of a listing in address order already are, at no cost.
  analysis.program_sections.put_in_order();
  analysis.memory_sections.put_in_order();
  if (collect_fates) {
    analysis.fates = std::move(account.sections);
    analysis.cut_map_lines = std::move(account.cut_lines);
    const bool shaped_line =
        std::any_of(analysis.fates.begin(), analysis.fates.end(),
                    [](const section_fate_record& fate) { return fate.map_line != 0; });
    if (!image_map && !shaped_line && !account.header_seen) {
      analysis.form = sniff_map_form(map);
    }
  } else if (!analysis.has_sections) {
    // Without the account only what the bytes show is told: a text may
    // still hold section lines outside every range.
    const map_form form = sniff_map_form(map);
    analysis.form = form == map_form::no_listing ? map_form::listing : form;
  }
  // With no section in any range the console prints nothing and still
  // succeeds; the sums and the SEARCH entries, each with 0 bytes, are made
  // all the same for the other faces.
  if (analysis.has_sections) {
    analysis.totals =
        compute_totals(analysis.definition, analysis.program_sections, analysis.memory_sections);
  }
  sum_exactly(analysis);
  note_load_copies(analysis);
  search_accounting accounting(analysis.searches);
  accounting.expect_records(analysis.program_sections.size());
  for (const section_record& record : analysis.program_sections) {
    accounting.account(record);
  }
  analysis.breakdown = std::move(accounting).breakdown();
  note_range_lines(definition, analysis);
  note_fates(analysis);
  if (image) {
    note_symbols(image->image, image_map, image_source.path, analysis);
  }
  return analysis;
}

eep_analysis analyse_eep(const input_source& eeprom_source) {
  eep_analysis analysis;
  const auto fail = [&analysis](std::vector<std::string> messages) {
    analysis.failure = {analysis_step::eep_report, std::move(messages), {}};
    return analysis;
  };
  if (!eeprom_source.given()) {
    return fail({std::string(k_prefix) + "No eep file name."});
  }
  c_eep_file reader(eeprom_source);
  if (!reader.is_open) {
    return fail({std::string(k_prefix) + "Invalid eep file."});
  }
  std::ostringstream said;
  if (!reader.read_sizes(analysis.sizes, said)) {
    // What the reader said (that the lines ran out) comes before the message.
    std::vector<std::string> messages;
    std::istringstream lines(said.str());
    for (std::string line; std::getline(lines, line);) {
      messages.push_back(line);
    }
    messages.emplace_back("error in the analyze EEP size: ");
    return fail(std::move(messages));
  }
  return analysis;
}

analysis_result analyse(const analysis_request& request) {
  analysis_result result;
  result.memory = analyse_memory(request);
  const input_source eeprom(request.eeprom_path, request.eeprom_text);
  if (!result.memory.failure.failed() && eeprom.given()) {
    result.has_eep = true;
    result.eep = analyse_eep(eeprom);
  }
  return result;
}
