#include <utility>

#include "formats/report_formats.h"
#include "library/analysis_state.h"
#include "lint/lint.h"
#include "vemora/analysis.h"

namespace vemora {
namespace {
// The public formats are the type keywords in their order.
constexpr bool format_keyword_is(map_format format, std::string_view keyword) {
  return k_type_keywords[static_cast<std::size_t>(format)] == keyword;
}
static_assert(static_cast<std::size_t>(map_format::elf) + 1 == std::size(k_type_keywords),
              "one public map format per type keyword");
static_assert(format_keyword_is(map_format::orm6, "Orm6") &&
                  format_keyword_is(map_format::tev2, "Tev2") &&
                  format_keyword_is(map_format::tev2_mem32_unlimited, "Tev2_mem32_unlimited") &&
                  format_keyword_is(map_format::orm8, "Orm8") &&
                  format_keyword_is(map_format::pux4, "Pux4") &&
                  format_keyword_is(map_format::elf, k_image_keyword),
              "the public map formats must match the type keywords");

// The public fates mirror the internal ones value for value.
static_assert(static_cast<std::size_t>(section_fate::not_allocated) + 1 == k_fate_count,
              "the public section fates must match the internal ones");
static_assert(static_cast<int>(section_fate::straddles_range) ==
                  static_cast<int>(::section_fate::straddles_range),
              "the public section fates must match the internal ones");

section_fate public_fate(::section_fate fate) { return static_cast<section_fate>(fate); }

// The public kinds and bindings of symbols mirror the internal ones value for value.
static_assert(static_cast<int>(symbol_kind::function) ==
                      static_cast<int>(::symbol_kind::function) &&
                  static_cast<int>(symbol_kind::object) ==
                      static_cast<int>(::symbol_kind::object) &&
                  static_cast<int>(symbol_kind::tls) == static_cast<int>(::symbol_kind::tls) &&
                  static_cast<int>(symbol_kind::other) == static_cast<int>(::symbol_kind::other),
              "the public symbol kinds must match the internal ones");
static_assert(
    static_cast<int>(symbol_binding::global) == static_cast<int>(::symbol_binding::global) &&
        static_cast<int>(symbol_binding::weak) == static_cast<int>(::symbol_binding::weak) &&
        static_cast<int>(symbol_binding::local) == static_cast<int>(::symbol_binding::local),
    "the public symbol bindings must match the internal ones");

std::optional<std::string_view> bytes_of(const input& given) { return given.bytes(); }

range public_range(const ::range_usage& usage, range_kind kind, std::size_t index,
                   bool with_image) {
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
  if (with_image) {
    made.attributed = usage.attributed_bytes;
    made.unattributed = usage.unattributed_bytes();
  }
  return made;
}
}  // namespace

std::string_view version() { return VEMORA_LIBRARY_VERSION; }

std::string detail::image_beside_image_reason() {
  return "with the format " + std::string(k_image_keyword) +
         " the map is the image: no image beside it is read";
}

std::string_view keyword(map_format format) {
  const auto index = static_cast<std::size_t>(format);
  return index < std::size(k_type_keywords) ? k_type_keywords[index] : std::string_view();
}

std::optional<map_format> map_format_of(std::string_view keyword) {
  for (std::size_t i = 0; i < std::size(k_type_keywords); ++i) {
    if (k_type_keywords[i] == keyword) {
      return static_cast<map_format>(i);
    }
  }
  return std::nullopt;
}

std::string_view keyword(section_fate fate) {
  return ::fate_keyword(static_cast<::section_fate>(fate));
}

std::string_view keyword(symbol_kind kind) {
  return ::symbol_kind_keyword(static_cast<::symbol_kind>(kind));
}

std::string_view keyword(symbol_binding binding) {
  return ::symbol_binding_keyword(static_cast<::symbol_binding>(binding));
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
  state->elf = what.elf;
  // The analysis keeps every fate when it reads an image, whose symbols are attributed to them:
  // the reports then lint the map as well.
  state->keep_sections =
      what.keep_sections || what.elf.has_value() || what.format == map_format::elf;

  if (what.format == map_format::elf && what.elf) {
    // The internal analysis would read the map as the image and pass over the
    // second one unread: a caller must not take its symbols for that image's.
    ::analysis_failure& refused = state->result.memory.failure;
    refused.step = ::analysis_step::memory_report;
    refused.image_error = detail::image_beside_image_reason();
    refused.messages.push_back(what.elf->name() + ": " + refused.image_error);
    return analysis(std::move(state));
  }

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
  internal.image_keywords = true;
  if (what.elf) {
    internal.image_path = what.elf->name();
    internal.image_text = bytes_of(*what.elf);
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
  // An image the analysis could not read is told by its own field, whatever
  // the console's message for it says.
  const detail::analysis_state& state = *m_state;
  const input* image =
      state.format == map_format::elf && state.elf ? &*state.elf : state.image_input();
  if (internal.failed() && !internal.image_error.empty() && image != nullptr) {
    made.step = failed_step::image_not_read;
    made.input = image->name();
    made.reason = internal.image_error;
    made.messages.push_back(made.input + ": " + made.reason);
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
    made.push_back(public_range(usage[i], kind, i, memory.image.given));
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
  const bool with_image = m_state->result.memory.image.given;
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
    if (with_image && ::is_counted(fate.fate)) {
      one.attributed = fate.attributed;
      one.unattributed = fate.unattributed();
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
  const bool with_image = m_state->result.memory.image.given;
  for (const ::search_breakdown::entry& entry : internal.entries) {
    search_entry one;
    one.text = entry.text;
    one.bytes = entry.bytes;
    one.sections = entry.sections.size();
    if (with_image) {
      one.attributed = entry.attributed_bytes;
      one.unattributed = entry.bytes - entry.attributed_bytes;
    }
    made.entries.push_back(std::move(one));
  }
  made.accounted = internal.accounted_exact;
  made.ambiguous.reserve(internal.ambiguous.size());
  for (const ::ambiguous_match_record& match : internal.ambiguous) {
    made.ambiguous.push_back({match.name.str(), match.size, match.entry, match.claimed_by});
  }
  made.ambiguous_bytes = internal.ambiguous_bytes_exact;
  return made;
}

std::optional<image_account> analysis::image() const {
  const ::image_account& internal = m_state->result.memory.image;
  if (!internal.given) {
    return std::nullopt;
  }
  image_account made;
  made.as_map = internal.as_map;
  made.path = internal.path;
  made.machine = internal.machine;
  made.matched_sections = internal.matched_sections;
  made.unmatched_sections = internal.unmatched_sections;
  made.overlapping_symbols = internal.overlapping_symbols;
  made.overlap_bytes = internal.overlap_bytes;
  made.cut_symbols = internal.cut_symbols;
  made.foreign = internal.foreign();
  return made;
}

std::vector<symbol> analysis::symbols() const {
  const std::vector<::symbol_record>& internal = m_state->result.memory.symbols;
  std::vector<symbol> made;
  made.reserve(internal.size());
  for (const ::symbol_record& record : internal) {
    symbol one;
    one.name = record.name;
    one.display = record.display;
    one.key = record.key;
    one.kind = static_cast<symbol_kind>(record.kind);
    one.binding = static_cast<symbol_binding>(record.binding);
    one.file = record.file;
    one.section = record.section;
    one.address = record.address;
    one.size = record.size;
    one.bytes = record.bytes;
    one.aliases = record.aliases;
    made.push_back(std::move(one));
  }
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
