#include "compare/report_model.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "compare/compare_text.h"
#include "compare/json_refusal.h"
#include "formats/report_formats.h"

namespace {
// Ordered, so that the dropped sums keep the order the report gives them (fate order).
using json = nlohmann::ordered_json;

using json_refusal::refusal;
using json_refusal::refuse;

const json& member(const json& object, const char* key, const std::string& path) {
  const auto found = object.find(key);
  if (found == object.end()) {
    refuse(path.empty() ? key : path + "." + key, "missing");
  }
  return *found;
}

std::string place(const std::string& path, const char* key) {
  return path.empty() ? key : path + "." + key;
}

// Amounts above 2^53 would no longer be exact as doubles: no real image has
// them, so a report that claims them is refused rather than rounded.
constexpr double k_exact_limit = 9007199254740992.0;

std::uint64_t count_of(const json& object, const char* key, const std::string& path) {
  const json& value = member(object, key, path);
  if (!value.is_number_unsigned()) {
    if (value.is_number_integer()) {
      refuse(place(path, key), "must not be negative");
    }
    refuse(place(path, key), "not a whole number");
  }
  const std::uint64_t number = value.get<std::uint64_t>();
  if (static_cast<double>(number) > k_exact_limit) {
    refuse(place(path, key), "too large");
  }
  return number;
}

std::int64_t signed_of(const json& object, const char* key, const std::string& path) {
  const json& value = member(object, key, path);
  if (!value.is_number_integer()) {
    refuse(place(path, key), "not a whole number");
  }
  if (value.is_number_unsigned()) {
    const std::uint64_t number = value.get<std::uint64_t>();
    if (static_cast<double>(number) > k_exact_limit) {
      refuse(place(path, key), "too large");
    }
    return static_cast<std::int64_t>(number);
  }
  const std::int64_t number = value.get<std::int64_t>();
  if (static_cast<double>(number) < -k_exact_limit) {
    refuse(place(path, key), "too large");
  }
  return number;
}

double amount_of(const json& object, const char* key, const std::string& path) {
  const json& value = member(object, key, path);
  if (!value.is_number()) {
    refuse(place(path, key), "not a number");
  }
  const double number = value.get<double>();
  if (!std::isfinite(number) || std::fabs(number) > k_exact_limit) {
    refuse(place(path, key), "too large");
  }
  return number;
}

/// A count that older reports lack and that is null where it does not apply.
std::optional<std::uint64_t> optional_count_of(const json& object, const char* key,
                                               const std::string& path) {
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) {
    return std::nullopt;
  }
  return count_of(object, key, path);
}

std::optional<double> quotient_of(const json& object, const char* key, const std::string& path) {
  const json& value = member(object, key, path);
  if (value.is_null()) {
    return std::nullopt;
  }
  return amount_of(object, key, path);
}

std::string text_of(const json& object, const char* key, const std::string& path) {
  const json& value = member(object, key, path);
  if (!value.is_string()) {
    refuse(place(path, key), "not a string");
  }
  return value.get<std::string>();
}

std::optional<std::string> optional_text_of(const json& object, const char* key,
                                            const std::string& path) {
  if (member(object, key, path).is_null()) {
    return std::nullopt;
  }
  return text_of(object, key, path);
}

const json& object_of(const json& object, const char* key, const std::string& path) {
  const json& value = member(object, key, path);
  if (!value.is_object()) {
    refuse(place(path, key), "not an object");
  }
  return value;
}

const json& array_of(const json& object, const char* key) {
  const json& value = member(object, key, "");
  if (!value.is_array()) {
    refuse(key, "not an array");
  }
  return value;
}

std::string element(const char* key, std::size_t index) {
  return std::string(key) + "[" + std::to_string(index) + "]";
}

const json& element_object(const json& array, const char* key, std::size_t index) {
  const json& value = array[index];
  if (!value.is_object()) {
    refuse(element(key, index), "not an object");
  }
  return value;
}

/// The major version of "M.m.p", or none when the text is not of that shape.
std::optional<unsigned long> major_version(const std::string& version) {
  std::size_t dots = 0;
  bool digit_before = false;
  for (const char c : version) {
    if (c == '.') {
      if (!digit_before) {
        return std::nullopt;
      }
      ++dots;
      digit_before = false;
    } else if (c >= '0' && c <= '9') {
      digit_before = true;
    } else {
      return std::nullopt;
    }
  }
  if (dots != 2 || !digit_before) {
    return std::nullopt;
  }
  const std::string major = version.substr(0, version.find('.'));
  return major.size() > 9 ? 1000000000UL : std::stoul(major);
}

/// The load copies and the footprint beside a range's or the program area's
/// use (schema 1.2.0); a report without the keys leaves both none.
template <typename footprint_type>
void read_footprint(const json& object, const std::string& path,
                    std::optional<model_load_copies>& load_copies,
                    std::optional<footprint_type>& footprint) {
  if (object.find("load_copies") != object.end()) {
    const json& copies = object_of(object, "load_copies", path);
    const std::string place_of_copies = place(path, "load_copies");
    load_copies = model_load_copies{count_of(copies, "sections", place_of_copies),
                                    count_of(copies, "bytes", place_of_copies)};
  }
  if (object.find("footprint") != object.end()) {
    footprint = static_cast<footprint_type>(count_of(object, "footprint", path));
  }
}

void read_ranges(const json& report, report_model& model) {
  const json& ranges = array_of(report, "ranges");
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    const json& range = element_object(ranges, "ranges", i);
    const std::string path = element("ranges", i);
    model_range row;
    row.id = text_of(range, "id", path);
    const std::string kind = text_of(range, "kind", path);
    if (kind != "program" && kind != "memory") {
      refuse(path + ".kind", "neither \"program\" nor \"memory\"");
    }
    row.program = kind == "program";
    row.label = optional_text_of(range, "label", path);
    row.start = count_of(range, "start", path);
    row.size = count_of(range, "size", path);
    row.used = count_of(range, "used", path);
    row.free = signed_of(range, "free", path);
    row.used_pct = quotient_of(range, "used_pct", path);
    read_footprint(range, path, row.load_copies, row.footprint);
    row.attributed = optional_count_of(range, "attributed", path);
    row.unattributed = optional_count_of(range, "unattributed", path);
    if (model.find_range(row.id) != nullptr) {
      refuse(path + ".id", "\"" + row.id + "\" is listed twice");
    }
    model.ranges.push_back(std::move(row));
  }
}

model_area read_area(const json& totals, const char* key) {
  const std::string path = std::string("totals.") + key;
  const json& area = object_of(totals, key, "totals");
  model_area out;
  out.total = amount_of(area, "total", path);
  out.used = amount_of(area, "used", path);
  out.free = amount_of(area, "free", path);
  out.used_pct = quotient_of(area, "used_pct", path);
  if (std::string_view(key) == "program") {
    read_footprint(area, path, out.load_copies, out.footprint);
  }
  return out;
}

model_section section_row(const json& sections_element, std::size_t index) {
  if (!sections_element.is_object()) {
    refuse(element("sections", index), "not an object");
  }
  const json& section = sections_element;
  const std::string path = element("sections", index);
  model_section row;
  row.name = text_of(section, "name", path);
  const std::uint64_t size = count_of(section, "size", path);
  const std::string unit = text_of(section, "unit", path);
  if (unit != "bytes" && unit != "bits") {
    refuse(path + ".unit", "neither \"bytes\" nor \"bits\"");
  }
  row.bytes = unit == "bits" ? static_cast<double>(size) / 8 : static_cast<double>(size);
  const std::string fate = text_of(section, "fate", path);
  if (fate == "counted") {
    row.counted = true;
    row.range = optional_text_of(section, "range", path).value_or("");
    if (section.find("group") != section.end() && !section["group"].is_null()) {
      row.group = count_of(section, "group", path);
    }
  } else if (fate == "dropped") {
    const std::optional<std::string> reason = optional_text_of(section, "reason", path);
    if (!reason || reason->empty()) {
      refuse(path + ".reason", "a dropped section needs its reason");
    }
    row.reason = *reason;
  } else {
    refuse(path + ".fate", "neither \"counted\" nor \"dropped\"");
  }
  return row;
}

/// The rows of a large array ("sections", "symbols") the streaming reader converted while it
/// read, and the first refusal among them, told when the report's other keys have been checked.
template <class Row>
struct streamed_rows {
  std::vector<Row> rows;
  std::optional<refusal> refused;
};

struct streamed_lists {
  streamed_rows<model_section> sections;
  streamed_rows<model_symbol> symbols;
};

/// The rows of the array key, converted by the streaming reader or, when the document had the
/// key but not as an array, refused as one.
template <class Row>
void take_rows(const json& report, const char* key, streamed_rows<Row>& streamed,
               std::vector<Row>& rows) {
  array_of(report, key);
  if (streamed.refused) {
    throw *streamed.refused;
  }
  rows = std::move(streamed.rows);
}

model_symbol symbol_row(const json& symbols_element, std::size_t index) {
  if (!symbols_element.is_object()) {
    refuse(element("symbols", index), "not an object");
  }
  const json& symbol = symbols_element;
  const std::string path = element("symbols", index);
  model_symbol row;
  row.key = text_of(symbol, "key", path);
  row.display = text_of(symbol, "display", path);
  row.file = optional_text_of(symbol, "file", path).value_or("");
  const std::string binding = text_of(symbol, "binding", path);
  if (binding != "global" && binding != "weak" && binding != "local") {
    refuse(path + ".binding", "neither \"global\", \"weak\" nor \"local\"");
  }
  row.local = binding == "local";
  row.section = count_of(symbol, "section", path);
  row.address = count_of(symbol, "address", path);
  row.size = count_of(symbol, "size", path);
  row.bytes = count_of(symbol, "bytes", path);
  return row;
}

/// Every symbol lies in a counted section of the report, or the report is refused.
void check_symbol_sections(const report_model& model) {
  for (std::size_t i = 0; i < model.symbols.size(); ++i) {
    const std::size_t section = model.symbols[i].section;
    if (section >= model.sections.size() || !model.sections[section].counted) {
      refuse(element("symbols", i) + ".section",
             "names no counted section (" + std::to_string(section) + ")");
    }
  }
}

/// Builds JSON values from parser events, as the parser's own DOM does.
class value_builder {
 public:
  explicit value_builder(json& root) : m_root(root) {}

  void key(std::string key) { m_key = std::move(key); }
  void value(json value) { place(std::move(value)); }
  void open(json container) { m_open.push_back(place(std::move(container))); }
  void close() { m_open.pop_back(); }
  bool empty() const { return m_open.empty(); }

 private:
  json* place(json value) {
    if (m_open.empty()) {
      m_root = std::move(value);
      return &m_root;
    }
    json& parent = *m_open.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return &parent.back();
    }
    json& slot = parent[m_key];
    slot = std::move(value);
    return &slot;
  }

  json& m_root;
  std::vector<json*> m_open;
  std::string m_key;
};

/// Reads a report's JSON as a stream: every key but the large ones into a DOM, each element of
/// "sections" and "symbols" converted to its row as soon as it is read and then dropped, and the
/// keys no comparison reads ("ambiguous", "diff") skipped unbuilt. The peak memory is that of
/// the small keys and the rows, not of the whole document.
class report_stream : public nlohmann::json_sax<json> {
 public:
  report_stream(json& report, streamed_lists& lists)
      : m_lists(lists), m_top(report), m_element_builder(m_element) {}

  bool null() override { return put(nullptr); }
  bool boolean(bool value) override { return put(value); }
  bool number_integer(number_integer_t value) override { return put(value); }
  bool number_unsigned(number_unsigned_t value) override { return put(value); }
  bool number_float(number_float_t value, const string_t& /*text*/) override { return put(value); }
  bool string(string_t& value) override { return put(std::move(value)); }
  bool binary(binary_t& value) override { return put(json::binary(std::move(value))); }
  bool key(string_t& key) override {
    if (m_skipping > 0) {
      return true;
    }
    if (m_depth == 1) {
      m_top_key = key;
    }
    (in_element() ? m_element_builder : m_top).key(std::move(key));
    return true;
  }
  bool start_object(std::size_t /*elements*/) override { return open(json::object()); }
  bool start_array(std::size_t /*elements*/) override { return open(json::array()); }
  bool end_object() override { return close(); }
  bool end_array() override { return close(); }
  bool parse_error(std::size_t /*position*/, const std::string& /*last_token*/,
                   const nlohmann::detail::exception& failure) override {
    throw failure;
  }

 private:
  bool skipped_key() const {
    return m_depth == 1 && m_top_object && (m_top_key == "ambiguous" || m_top_key == "diff");
  }
  bool streaming() const { return m_streaming != list::none; }
  bool in_element() const { return streaming() && m_depth >= 3; }

  bool put(json value) {
    if (m_skipping > 0 || skipped_key()) {
      return true;
    }
    if (streaming() && m_depth == 2) {
      m_element = std::move(value);
      finish_element();
    } else if (in_element()) {
      m_element_builder.value(std::move(value));
    } else {
      m_top.value(std::move(value));
    }
    return true;
  }

  bool open(json container) {
    if (m_skipping > 0 || skipped_key()) {
      ++m_skipping;
      return true;
    }
    if (m_depth == 0) {
      m_top_object = container.is_object();
    }
    const bool listed = m_top_key == "sections" || m_top_key == "symbols";
    if (m_depth == 1 && m_top_object && listed && container.is_array()) {
      // A later key of the same name replaces an earlier one, as in the parser's DOM.
      if (m_top_key == "sections") {
        m_lists.sections = streamed_rows<model_section>{};
        m_streaming = list::sections;
      } else {
        m_lists.symbols = streamed_rows<model_symbol>{};
        m_streaming = list::symbols;
      }
      m_top.value(json::array());
      m_index = 0;
    } else if (streaming() && m_depth >= 2) {
      m_element_builder.open(std::move(container));
    } else {
      m_top.open(std::move(container));
    }
    ++m_depth;
    return true;
  }

  bool close() {
    if (m_skipping > 0) {
      --m_skipping;
      return true;
    }
    --m_depth;
    if (streaming() && m_depth == 1) {
      m_streaming = list::none;
    } else if (streaming()) {
      m_element_builder.close();
      if (m_depth == 2) {
        finish_element();
      }
    } else {
      m_top.close();
    }
    return true;
  }

  template <class Row, class Convert>
  void convert(streamed_rows<Row>& rows, Convert&& row_of) {
    if (!rows.refused) {
      try {
        rows.rows.push_back(row_of(m_element, m_index));
      } catch (const refusal& refused) {
        rows.refused = refused;
      }
    }
  }

  void finish_element() {
    if (m_streaming == list::sections) {
      convert(m_lists.sections, section_row);
    } else {
      convert(m_lists.symbols, symbol_row);
    }
    ++m_index;
    m_element = json();
  }

  enum class list { none, sections, symbols };

  streamed_lists& m_lists;
  value_builder m_top;
  json m_element;
  value_builder m_element_builder;
  std::size_t m_depth = 0;
  std::size_t m_skipping = 0;
  bool m_top_object = false;
  list m_streaming = list::none;
  std::size_t m_index = 0;
  std::string m_top_key;
};

/// The symbols of a report whose run read an image ("image" not null); a report made without
/// one, or older than the key, has none.
void read_symbols(const json& report, streamed_lists& streamed, report_model& model) {
  const auto image = report.find("image");
  if (image == report.end() || image->is_null()) {
    return;
  }
  if (!image->is_object()) {
    refuse("image", "neither null nor an object");
  }
  model.has_symbols = true;
  take_rows(report, "symbols", streamed.symbols, model.symbols);
  check_symbol_sections(model);
}

void read_eeprom(const json& report, report_model& model) {
  const json& eeprom = member(report, "eeprom", "");
  if (eeprom.is_null()) {
    return;
  }
  if (!eeprom.is_object()) {
    refuse("eeprom", "neither null nor an object");
  }
  const json& overall = object_of(eeprom, "overall", "eeprom");
  model_eeprom out;
  out.total = count_of(overall, "total", "eeprom.overall");
  out.used = count_of(overall, "used", "eeprom.overall");
  out.free = count_of(overall, "free", "eeprom.overall");
  out.used_pct = quotient_of(overall, "used_pct", "eeprom.overall");
  model.eeprom = out;
}

/// The lint's findings; a report older than the key has none.
void read_diagnostics(const json& report, report_model& model) {
  if (report.find("diagnostics") == report.end()) {
    return;
  }
  const json& diagnostics = array_of(report, "diagnostics");
  for (std::size_t i = 0; i < diagnostics.size(); ++i) {
    const json& diagnostic = element_object(diagnostics, "diagnostics", i);
    const std::string path = element("diagnostics", i);
    model_diagnostic row;
    row.code = text_of(diagnostic, "code", path);
    row.severity = text_of(diagnostic, "severity", path);
    if (row.severity != "error" && row.severity != "warning" && row.severity != "note") {
      refuse(path + ".severity", "neither \"error\", \"warning\" nor \"note\"");
    }
    row.message = text_of(diagnostic, "message", path);
    model.diagnostics.push_back(std::move(row));
  }
}

void read_report(const json& report, streamed_lists& streamed, report_model& model) {
  if (!report.is_object()) {
    throw refusal{"is no vemora report (not a JSON object)"};
  }
  const auto schema = report.find("schema");
  if (schema == report.end() || !schema->is_string() || *schema != "vemora-report") {
    throw refusal{"is no vemora report (its \"schema\" is not \"vemora-report\")"};
  }
  model.schema_version = text_of(report, "schema_version", "");
  const std::optional<unsigned long> major = major_version(model.schema_version);
  if (!major) {
    refuse("schema_version", "\"" + model.schema_version + "\" is no version number");
  }
  if (*major != 1) {
    throw refusal{"is a report of schema version " + model.schema_version +
                  "; this vemora-check reads version 1 reports only"};
  }
  read_ranges(report, model);
  const json& totals = object_of(report, "totals", "");
  model.program = read_area(totals, "program");
  model.memory = read_area(totals, "memory");
  const json& groups = array_of(report, "groups");
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const json& group = element_object(groups, "groups", i);
    const std::string path = element("groups", i);
    model.groups.push_back({text_of(group, "search", path), count_of(group, "bytes", path)});
  }
  take_rows(report, "sections", streamed.sections, model.sections);
  read_symbols(report, streamed, model);
  const json& dropped = object_of(report, "dropped", "");
  for (const auto& [reason, sum] : dropped.items()) {
    const std::string path = "dropped." + reason;
    if (!sum.is_object()) {
      refuse(path, "not an object");
    }
    model.dropped.push_back(
        {reason, count_of(sum, "sections", path), count_of(sum, "bytes", path)});
  }
  read_eeprom(report, model);
  read_diagnostics(report, model);
}
}  // namespace

const model_range* report_model::find_range(std::string_view id) const {
  for (const model_range& range : ranges) {
    if (range.id == id) {
      return &range;
    }
  }
  return nullptr;
}

namespace {
/// Reads the report from the parser's input (a text or a stream) as a stream of events.
template <class Parse>
bool read_streamed(Parse&& parse, report_model& model, std::string& error) {
  model = report_model{};
  const bool read = json_refusal::read_or_refuse(
      [&] {
        json report;
        streamed_lists lists;
        report_stream stream(report, lists);
        parse(stream);
        read_report(report, lists, model);
      },
      error);
  if (!read) {
    model = report_model{};
  }
  return read;
}
}  // namespace

bool read_report_model(std::string_view text, report_model& model, std::string& error) {
  return read_streamed(
      [&](report_stream& stream) { json::sax_parse(text.begin(), text.end(), &stream); }, model,
      error);
}

bool read_report_model(std::istream& in, report_model& model, std::string& error) {
  return read_streamed([&](report_stream& stream) { json::sax_parse(in, &stream); }, model, error);
}

report_model model_of_analysis(const analysis_result& result) {
  const memory_analysis& memory = result.memory;
  report_model model;
  for (int pass = 0; pass < 2; ++pass) {
    const bool program = pass == 0;
    const std::vector<range_usage>& usages = program ? memory.program_usage : memory.memory_usage;
    for (std::size_t i = 0; i < usages.size(); ++i) {
      const range_usage& usage = usages[i];
      model_range row{range_id(program, i),
                      program,
                      usage.label,
                      usage.range.start,
                      usage.range.size,
                      usage.used_rounded(),
                      usage.free(),
                      usage.used_pct(),
                      model_load_copies{usage.load_copy_sections, usage.load_copy_bytes},
                      usage.footprint()};
      if (memory.image.given) {
        row.attributed = usage.attributed_bytes;
        row.unattributed = usage.unattributed_bytes();
      }
      model.ranges.push_back(std::move(row));
    }
  }
  model.program = {
      static_cast<double>(memory.program_total),
      static_cast<double>(memory.program_used),
      static_cast<double>(memory.program_total) - static_cast<double>(memory.program_used),
      memory.program_used_pct(),
      model_load_copies{memory.program_load_copy_sections, memory.program_load_copy_bytes},
      static_cast<double>(memory.program_footprint())};
  model.memory = {static_cast<double>(memory.memory_total), memory.memory_used(),
                  static_cast<double>(memory.memory_total) - memory.memory_used(),
                  memory.memory_used_pct()};
  for (const search_breakdown::entry& entry : memory.breakdown.entries) {
    model.groups.push_back({entry.text, entry.bytes});
  }
  model.sections.reserve(memory.fates.size());
  for (const section_fate_record& fate : memory.fates) {
    model_section row;
    row.name = std::string(fate.name.str());
    row.bytes = fate.size_unit == 1 ? fate.size / 8.0 : static_cast<double>(fate.size);
    row.counted = is_counted(fate.fate);
    if (row.counted && fate.range_index >= 0) {
      row.range = range_id(fate.fate == section_fate::counted_program,
                           static_cast<std::size_t>(fate.range_index));
    } else if (!row.counted) {
      row.reason = std::string(fate_keyword(fate.fate));
    }
    if (row.counted && fate.group >= 0) {
      row.group = static_cast<std::size_t>(fate.group);
    }
    model.sections.push_back(std::move(row));
  }
  model.has_symbols = memory.image.given;
  model.symbols.reserve(memory.symbols.size());
  for (const symbol_record& symbol : memory.symbols) {
    model.symbols.push_back({symbol.key, symbol.display, symbol.file,
                             symbol.binding == symbol_binding::local, symbol.section,
                             symbol.address, symbol.size, symbol.bytes});
  }
  for (std::size_t i = 0; i < k_fate_count; ++i) {
    const auto fate = static_cast<section_fate>(i);
    const fate_sum& sum = memory.by_fate[i];
    if (!is_counted(fate) && sum.sections > 0) {
      model.dropped.push_back({std::string(fate_keyword(fate)), sum.sections, sum.bytes});
    }
  }
  if (result.has_eep && !result.eep.failure.failed()) {
    const eep_totals_exact totals = compute_eep_totals_exact(result.eep.sizes);
    model.eeprom = model_eeprom{
        totals.overall_total, totals.overall_used, totals.overall_free,
        totals.overall_total == 0
            ? std::nullopt
            : std::optional<double>(totals.overall_used * 100.0 / totals.overall_total)};
  }
  return model;
}

std::vector<model_diagnostic> model_diagnostics_of(const std::vector<lint_finding>& findings) {
  std::vector<model_diagnostic> out;
  out.reserve(findings.size());
  for (const lint_finding& finding : findings) {
    out.push_back({finding.code, std::string(severity_name(finding.severity)), finding.message});
  }
  return out;
}
