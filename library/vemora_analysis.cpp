#include <utility>

#include "formats/report_formats.h"
#include "library/analysis_state.h"
#include "lint/lint.h"
#include "vemora/analysis.h"

namespace vemora {
namespace {
struct format_keyword {
  map_format format;
  std::string_view keyword;
};
constexpr format_keyword k_keywords[] = {
    {map_format::orm6, "Orm6"},
    {map_format::tev2, "Tev2"},
    {map_format::tev2_mem32_unlimited, "Tev2_mem32_unlimited"},
    {map_format::orm8, "Orm8"},
    {map_format::pux4, "Pux4"},
};

// The public fates mirror the internal ones value for value.
static_assert(static_cast<std::size_t>(section_fate::not_allocated) + 1 == k_fate_count,
              "the public section fates must match the internal ones");
static_assert(static_cast<int>(section_fate::straddles_range) ==
                  static_cast<int>(::section_fate::straddles_range),
              "the public section fates must match the internal ones");

section_fate public_fate(::section_fate fate) { return static_cast<section_fate>(fate); }

std::optional<std::string_view> bytes_of(const input& given) { return given.bytes(); }

range public_range(const ::range_usage& usage, range_kind kind, std::size_t index) {
  range made;
  made.kind = kind;
  made.index = index;
  made.id = ::range_id(kind == range_kind::program, index);
  made.start = usage.range.start;
  made.size = usage.range.size;
  made.label = usage.label;
  made.definition_line = usage.definition_line;
  made.used_bytes = usage.used_bytes;
  made.used_bits = usage.used_bits;
  made.used = usage.used_rounded();
  made.free = usage.free();
  made.used_pct = usage.used_pct();
  made.sections = usage.section_count;
  return made;
}
}  // namespace

std::string_view version() { return VEMORA_LIBRARY_VERSION; }

std::string_view keyword(map_format format) {
  for (const format_keyword& entry : k_keywords) {
    if (entry.format == format) {
      return entry.keyword;
    }
  }
  return {};
}

std::optional<map_format> map_format_of(std::string_view keyword) {
  for (const format_keyword& entry : k_keywords) {
    if (entry.keyword == keyword) {
      return entry.format;
    }
  }
  return std::nullopt;
}

std::string_view keyword(section_fate fate) {
  return ::fate_keyword(static_cast<::section_fate>(fate));
}

bool is_counted(section_fate fate) {
  return fate == section_fate::counted_program || fate == section_fate::counted_memory;
}

input input::file(std::string path) {
  input made;
  made.m_name = std::move(path);
  return made;
}

input input::text(std::string bytes, std::string name) {
  input made;
  made.m_name = std::move(name);
  made.m_kept = std::make_shared<const std::string>(std::move(bytes));
  made.m_bytes = std::string_view(*made.m_kept);
  return made;
}

input input::view(std::string_view bytes, std::string name) {
  input made;
  made.m_name = std::move(name);
  made.m_bytes = bytes;
  return made;
}

analysis analyse(const request& what) {
  auto state = std::make_shared<detail::analysis_state>();
  state->format = what.format;
  state->definition = what.definition;
  state->map = what.map;
  state->eeprom_source = what.eeprom_source;
  state->keep_sections = what.keep_sections;

  ::analysis_request internal;
  internal.type_keyword = std::string(keyword(what.format));
  internal.definition_path = what.definition.name();
  internal.definition_text = bytes_of(what.definition);
  internal.map_path = what.map.name();
  internal.map_text = bytes_of(what.map);
  if (what.eeprom_source) {
    internal.eeprom_path = what.eeprom_source->name();
    internal.eeprom_text = bytes_of(*what.eeprom_source);
  }
  internal.collect_fates = what.keep_sections;
  state->result = ::analyse(internal);

  return analysis(std::move(state));
}

bool analysis::ok() const { return failure().step == failed_step::none; }

run_failure analysis::failure() const {
  const ::analysis_failure& internal = m_state->result.failure();
  run_failure made;
  const ::map_form form = m_state->result.memory.form;
  if (!internal.failed() && form != ::map_form::listing) {
    made.step = failed_step::map_not_listing;
    made.messages.push_back(m_state->map.name() + ": " +
                            ::no_listing_text(form, std::string(keyword(m_state->format))));
    return made;
  }
  switch (internal.step) {
    case ::analysis_step::none:
      made.step = failed_step::none;
      break;
    case ::analysis_step::memory_report:
      made.step = failed_step::memory_report;
      break;
    case ::analysis_step::eep_report:
      made.step = failed_step::eep_report;
      break;
  }
  made.messages = internal.messages;
  return made;
}

bool analysis::has_sections() const { return m_state->result.memory.has_sections; }

map_format analysis::format() const { return m_state->format; }

const std::string& analysis::definition_name() const { return m_state->definition.name(); }

const std::string& analysis::map_name() const { return m_state->map.name(); }

const std::string& analysis::eeprom_name() const {
  static const std::string none;
  return m_state->eeprom_source ? m_state->eeprom_source->name() : none;
}

std::vector<range> analysis::ranges(range_kind kind) const {
  const ::memory_analysis& memory = m_state->result.memory;
  const std::vector<::range_usage>& usage =
      kind == range_kind::program ? memory.program_usage : memory.memory_usage;
  std::vector<range> made;
  made.reserve(usage.size());
  for (std::size_t i = 0; i < usage.size(); ++i) {
    made.push_back(public_range(usage[i], kind, i));
  }
  return made;
}

area analysis::totals(range_kind kind) const {
  const ::memory_analysis& memory = m_state->result.memory;
  area made;
  if (kind == range_kind::program) {
    made.total = memory.program_total;
    made.used_bytes = memory.program_used;
    made.used = static_cast<double>(memory.program_used);
    made.used_pct = memory.program_used_pct();
    made.sections = memory.program_sections.size();
    made.average = memory.program_average();
  } else {
    made.total = memory.memory_total;
    made.used_bytes = memory.memory_used_bytes;
    made.used_bits = memory.memory_used_bits;
    made.used = memory.memory_used();
    made.used_pct = memory.memory_used_pct();
    made.sections = memory.memory_sections.size();
    made.average = memory.memory_average();
  }
  return made;
}

std::vector<section> analysis::sections() const {
  const std::vector<::section_fate_record>& fates = m_state->result.memory.fates;
  std::vector<section> made;
  made.reserve(fates.size());
  for (const ::section_fate_record& fate : fates) {
    section one;
    one.name = fate.name.str();
    one.start = fate.start;
    one.size = fate.size;
    one.unit = fate.size_unit == 1 ? size_unit::bits : size_unit::bytes;
    one.map_line = fate.map_line;
    one.fate = public_fate(fate.fate);
    if (fate.range_index >= 0) {
      one.range_index = static_cast<std::size_t>(fate.range_index);
    }
    if (fate.group >= 0) {
      one.search_entry = static_cast<std::size_t>(fate.group);
    }
    made.push_back(std::move(one));
  }
  return made;
}

std::vector<fate_total> analysis::fates() const {
  const auto& by_fate = m_state->result.memory.by_fate;
  std::vector<fate_total> made;
  made.reserve(by_fate.size());
  for (std::size_t i = 0; i < by_fate.size(); ++i) {
    made.push_back({static_cast<section_fate>(i), by_fate[i].sections, by_fate[i].bytes});
  }
  return made;
}

search_breakdown analysis::searches() const {
  const ::search_breakdown& internal = m_state->result.memory.breakdown;
  search_breakdown made;
  made.entries.reserve(internal.entries.size());
  for (const ::search_breakdown::entry& entry : internal.entries) {
    made.entries.push_back({entry.text, entry.bytes, entry.sections.size()});
  }
  made.accounted = internal.accounted_exact;
  made.ambiguous.reserve(internal.ambiguous.size());
  for (const ::ambiguous_match_record& match : internal.ambiguous) {
    made.ambiguous.push_back({match.name.str(), match.size, match.entry, match.claimed_by});
  }
  made.ambiguous_bytes = internal.ambiguous_bytes_exact;
  return made;
}

std::optional<eeprom_usage> analysis::eeprom() const {
  const ::analysis_result& result = m_state->result;
  if (!result.has_eep || result.eep.failure.failed()) {
    return std::nullopt;
  }
  const ::eep_sizes& sizes = result.eep.sizes;
  const ::eep_totals_exact totals = ::compute_eep_totals_exact(sizes);
  eeprom_usage made;
  made.once_data_size = sizes.once_data_size;
  made.once_data_free = sizes.once_data_free;
  made.triple_data_size = sizes.triple_data_size;
  made.triple_data_free = sizes.triple_data_free;
  made.once_total = totals.once_total;
  made.triple_total = totals.triple_total;
  made.triple_used = totals.triple_used;
  made.triple_free = totals.triple_free;
  made.overall_total = totals.overall_total;
  made.overall_used = totals.overall_used;
  made.overall_free = totals.overall_free;
  return made;
}

}  // namespace vemora
