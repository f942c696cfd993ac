#include "compare/budget.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <set>

#include "compare/compare_text.h"
#include "compare/glob_pattern.h"
#include "compare/json_refusal.h"
#include "mapfile/section_fate.h"

namespace {
using json = nlohmann::ordered_json;

using json_refusal::refusal;
using json_refusal::refuse;

// Limits above 2^53 bytes would not stay exact; no memory is that large.
constexpr double k_largest = 9007199254740992.0;

std::string list_of(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) {
    out += (out.empty() ? "" : ", ") + name;
  }
  return out;
}

double percentage_of(const json& value, const std::string& path) {
  if (!value.is_number()) {
    refuse(path, "not a number");
  }
  const double number = value.get<double>();
  if (!std::isfinite(number) || number > k_largest) {
    refuse(path, "too large");
  }
  if (number < 0) {
    refuse(path, "must not be negative");
  }
  return number;
}

double size_of(const json& value, const std::string& path, std::string& text) {
  if (value.is_number_unsigned()) {
    const std::uint64_t number = value.get<std::uint64_t>();
    if (static_cast<double>(number) > k_largest) {
      refuse(path, "too large");
    }
    text = std::to_string(number);
    return static_cast<double>(number);
  }
  if (value.is_number()) {
    if (value.get<double>() < 0) {
      refuse(path, "must not be negative");
    }
    refuse(path, "not a whole number of bytes");
  }
  if (!value.is_string()) {
    refuse(path, "not a size (a whole number, or a string such as \"16K\" or \"1M\")");
  }
  text = value.get<std::string>();
  if (!text.empty() && text[0] == '-') {
    refuse(path, "must not be negative");
  }
  const std::optional<std::uint64_t> size = parse_size_text(text);
  if (!size) {
    refuse(path, "\"" + text + "\" is not a size (digits, with K or M for 1024 or 1048576)");
  }
  return static_cast<double>(*size);
}

/// The limits a target takes; the group's own name is max_bytes. Only what
/// holds load copies (a range, the program area) has a footprint.
const std::vector<std::string>& limits_of(budget_target_kind kind, bool footprint) {
  static const std::vector<std::string> k_area = {
      "max_used_pct", "max_used_bytes", "min_free_bytes", "max_growth_bytes", "max_growth_pct"};
  static const std::vector<std::string> k_footprint = {
      "max_used_pct",   "max_used_bytes",      "min_free_bytes",   "max_growth_bytes",
      "max_growth_pct", "max_footprint_bytes", "max_footprint_pct"};
  static const std::vector<std::string> k_group = {"max_bytes", "max_used_bytes",
                                                   "max_growth_bytes", "max_growth_pct"};
  static const std::vector<std::string> k_symbols = {"max_bytes", "max_growth_bytes",
                                                     "max_growth_pct", "each"};
  static const std::vector<std::string> k_new_symbols = {"max_bytes"};
  if (kind == budget_target_kind::group) {
    return k_group;
  }
  if (kind == budget_target_kind::symbols) {
    return k_symbols;
  }
  if (kind == budget_target_kind::new_symbols) {
    return k_new_symbols;
  }
  return footprint ? k_footprint : k_area;
}

void read_limits(const json& limits, const std::string& path, budget_rule target, bool footprint,
                 std::vector<budget_rule>& rules) {
  if (!limits.is_object()) {
    refuse(path, "not an object of limits");
  }
  const std::vector<std::string>& known = limits_of(target.kind, footprint);
  for (const auto& [limit, value] : limits.items()) {
    const std::string place = path + "." + limit;
    bool found = false;
    for (const std::string& name : known) {
      found = found || name == limit;
    }
    if (!found) {
      refuse(place, "unknown limit (known: " + list_of(known) + ")");
    }
    if (limit == "each") {
      continue;  // read by read_symbols
    }
    budget_rule rule = target;
    rule.limit = limit;
    if (is_percentage_limit(limit)) {
      rule.limit_value = percentage_of(value, place);
      rule.limit_text = compare_text::amount(rule.limit_value);
    } else {
      rule.limit_value = size_of(value, place, rule.limit_text);
    }
    rules.push_back(std::move(rule));
  }
}

/// "symbols": {"PATTERN": {limits, "each": true|false}}; the pattern is checked here, so that
/// one that cannot match is refused rather than skipped.
void read_symbols(const json& symbols, std::vector<budget_rule>& rules) {
  if (!symbols.is_object()) {
    refuse("symbols", "not an object of patterns");
  }
  for (const auto& [pattern, limits] : symbols.items()) {
    const std::string path = "symbols." + pattern;
    if (pattern.empty()) {
      refuse(path, "an empty pattern matches no symbol (\"*\" matches every one)");
    }
    budget_rule target;
    std::string error;
    target.glob = glob_pattern::parse(pattern, error);
    if (!target.glob) {
      refuse(path, error);
    }
    target.kind = budget_target_kind::symbols;
    target.key = path;
    target.pattern = pattern;
    if (limits.is_object()) {
      const auto each = limits.find("each");
      if (each != limits.end() && !each->is_boolean()) {
        refuse(path + ".each", "not true or false");
      }
      target.each = each != limits.end() && each->get<bool>();
    }
    target.target = path + (target.each ? " (each)" : "");
    const std::size_t before = rules.size();
    read_limits(limits, path, target, false, rules);
    if (rules.size() == before) {
      refuse(path, "names no limit (known: max_bytes, max_growth_bytes, max_growth_pct)");
    }
  }
}

std::size_t resolve_range(const report_model& current, const std::string& name,
                          const std::string& path) {
  for (std::size_t i = 0; i < current.ranges.size(); ++i) {
    if (current.ranges[i].id == name) {
      return i;
    }
  }
  std::vector<std::string> labelled;
  std::size_t found = 0;
  for (std::size_t i = 0; i < current.ranges.size(); ++i) {
    if (current.ranges[i].label && *current.ranges[i].label == name) {
      labelled.push_back(current.ranges[i].id);
      found = i;
    }
  }
  if (labelled.empty()) {
    std::vector<std::string> known;
    for (const model_range& range : current.ranges) {
      known.push_back(range.id + (range.label ? " \"" + *range.label + "\"" : ""));
    }
    refuse(path, known.empty() ? "no such range (the build has no range)"
                               : "no such range (ranges: " + list_of(known) + ")");
  }
  if (labelled.size() > 1) {
    refuse(path, "the label of " + list_of(labelled) + "; name the range by its id");
  }
  return found;
}

/// The text without its trailing blanks: SEARCH lines end their text with one.
std::string_view without_trailing_blanks(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

[[noreturn]] void refuse_group(const report_model& current, const std::string& path,
                               const std::string& why) {
  std::vector<std::string> known;
  for (std::size_t i = 0; i < current.groups.size(); ++i) {
    known.push_back("#" + std::to_string(i) + " \"" + current.groups[i].search + "\"");
  }
  refuse(path, why + (known.empty() ? " (the build has no SEARCH group)"
                                    : " (groups: " + list_of(known) + ")"));
}

std::size_t resolve_group(const report_model& current, const std::string& name,
                          const std::string& path) {
  if (!name.empty() && name[0] == '#') {
    const std::string digits = name.substr(1);
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      refuse(path, "no such group (\"#\" takes a group's index: #0, #1 ...)");
    }
    const std::size_t index = std::stoul(digits);
    if (index >= current.groups.size()) {
      refuse_group(current, path, "no such group");
    }
    return index;
  }
  std::vector<std::string> matching;
  std::size_t found = 0;
  // The text as written first; only when no group has exactly that text are
  // trailing blanks, which the writer of a budget cannot see, left out.
  for (const bool exact : {true, false}) {
    if (!matching.empty()) {
      break;
    }
    for (std::size_t i = 0; i < current.groups.size(); ++i) {
      const std::string& search = current.groups[i].search;
      if (exact ? search == name
                : without_trailing_blanks(search) == without_trailing_blanks(name)) {
        matching.push_back("#" + std::to_string(i));
        found = i;
      }
    }
  }
  if (matching.empty()) {
    refuse_group(current, path, "no such group");
  }
  if (matching.size() > 1) {
    refuse(path, "the search text of " + list_of(matching) + "; name the group by its #index");
  }
  return found;
}

/// The limits of a target that is the whole of a key ("eeprom", "new_symbols").
void read_whole_target(const json& limits, const std::string& key, budget_target_kind kind,
                       std::vector<budget_rule>& rules) {
  budget_rule target;
  target.kind = kind;
  target.key = key;
  target.target = key;
  read_limits(limits, key, target, false, rules);
}

void read_dropped(const json& dropped, std::vector<budget_rule>& rules) {
  if (!dropped.is_object()) {
    refuse("dropped", "not an object");
  }
  for (const auto& [reason, level] : dropped.items()) {
    const std::string place = "dropped." + reason;
    bool known = false;
    std::vector<std::string> names;
    for (std::uint8_t i = 0; i <= static_cast<std::uint8_t>(section_fate::not_allocated); ++i) {
      const auto fate = static_cast<section_fate>(i);
      if (!is_counted(fate)) {
        known = known || reason == fate_keyword(fate);
        names.emplace_back(fate_keyword(fate));
      }
    }
    if (!known) {
      refuse(place, "unknown reason (known: " + list_of(names) + ")");
    }
    if (!level.is_string() || (level != "error" && level != "warning" && level != "ignore")) {
      refuse(place, "must be \"error\", \"warning\" or \"ignore\"");
    }
    budget_rule rule;
    rule.kind = budget_target_kind::dropped;
    rule.key = place;
    rule.target = place;
    rule.limit = "level";
    rule.limit_text = level.get<std::string>();
    rules.push_back(std::move(rule));
  }
}

/// The codes of the map's findings, VL101 to VL114.
std::vector<std::string> map_finding_codes() {
  std::vector<std::string> codes;
  for (int number = 101; number <= 114; ++number) {
    codes.push_back("VL" + std::to_string(number));
  }
  return codes;
}

std::vector<std::string> read_allow(const json& value) {
  if (!value.is_array()) {
    refuse("allow", "not an array of finding codes (\"VL110\", ...)");
  }
  const std::vector<std::string> known = map_finding_codes();
  std::vector<std::string> allow;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string place = "allow[" + std::to_string(i) + "]";
    if (!value[i].is_string()) {
      refuse(place, "not a string");
    }
    const std::string code = value[i].get<std::string>();
    bool found = false;
    for (const std::string& name : known) {
      found = found || name == code;
    }
    if (!found) {
      refuse(place,
             "\"" + code + "\" is no code of a finding of the map (known: " + list_of(known) + ")");
    }
    for (const std::string& earlier : allow) {
      if (earlier == code) {
        refuse(place, "\"" + code + "\" is listed twice");
      }
    }
    allow.push_back(code);
  }
  return allow;
}

bool has_rule(const std::vector<budget_rule>& rules, const std::string& target) {
  for (const budget_rule& rule : rules) {
    if (rule.target == target) {
      return true;
    }
  }
  return false;
}

bool is_allowed(const budget& the_budget, const std::string& code) {
  for (const std::string& allowed : the_budget.allow) {
    if (allowed == code) {
      return true;
    }
  }
  return false;
}

budget_rule finding_rule(const budget& the_budget, const std::string& code, bool error) {
  budget_rule rule;
  rule.kind = budget_target_kind::finding;
  rule.key = "findings." + code;
  rule.target = rule.key;
  rule.code = code;
  rule.errors = error;
  rule.implicit = true;
  const bool allowed = is_allowed(the_budget, code);
  if (error || allowed) {
    rule.limit = "allow";
    rule.limit_text = allowed ? "allowed" : "not allowed";
  } else {
    rule.limit = "level";
    rule.limit_text = "warning";
  }
  return rule;
}

/// The defaults of the gate, as rules of their own for what the build shows:
/// a section straddling a range fails and a section dropped by a name rule
/// inside a range warns unless "dropped" says otherwise, and an error found
/// in the map fails unless "allow" lists its code.
void add_defaults(const report_model& current, budget& out) {
  const std::string straddles = "dropped.straddles_range";
  if (!has_rule(out.rules, straddles)) {
    for (const model_dropped& dropped : current.dropped) {
      if (dropped.reason == "straddles_range" && dropped.sections > 0) {
        budget_rule rule;
        rule.kind = budget_target_kind::dropped;
        rule.key = straddles;
        rule.target = straddles;
        rule.limit = "level";
        rule.limit_text = "error";
        rule.implicit = true;
        out.rules.push_back(std::move(rule));
      }
    }
  }
  // A budget says what a name rule's drop means only when it names every such reason.
  bool name_rules_settled = true;
  for (const char* reason : {"debug_name", "excluded_name", "name_not_accepted"}) {
    name_rules_settled =
        name_rules_settled && has_rule(out.rules, std::string("dropped.") + reason);
  }
  for (const model_diagnostic& diagnostic : current.diagnostics) {
    const bool error = diagnostic.severity == "error";
    const bool of_map = diagnostic.code.size() == 5 && diagnostic.code.rfind("VL1", 0) == 0;
    const bool named = !error && diagnostic.code == k_name_rule_finding && !name_rules_settled;
    if (!of_map || (!error && !named)) {
      continue;
    }
    const std::string target = "findings." + diagnostic.code;
    if (!has_rule(out.rules, target)) {
      out.rules.push_back(finding_rule(out, diagnostic.code, error));
    }
  }
}

void read_budget(const json& file, const report_model& current, budget& out) {
  if (!file.is_object()) {
    throw refusal{"is not a JSON object"};
  }
  const auto version = file.find("budget_version");
  if (version == file.end()) {
    refuse("budget_version", "missing (this vemora-check reads budget_version 1)");
  }
  if (!version->is_number_integer() || *version != 1) {
    refuse("budget_version", version->dump() + " is not supported (this vemora-check reads 1)");
  }
  for (const auto& [key, value] : file.items()) {
    if (key == "budget_version") {
      continue;
    }
    if (key == "warn_headroom_pct") {
      out.warn_headroom_pct = percentage_of(value, key);
      if (out.warn_headroom_pct > 100) {
        refuse(key, "must not be above 100");
      }
    } else if (key == "ranges" || key == "groups") {
      if (!value.is_object()) {
        refuse(key, "not an object");
      }
      const bool range = key == "ranges";
      for (const auto& [name, limits] : value.items()) {
        const std::string path = key + "." + name;
        budget_rule target;
        target.kind = range ? budget_target_kind::range : budget_target_kind::group;
        target.key = path;
        target.index =
            range ? resolve_range(current, name, path) : resolve_group(current, name, path);
        target.target = range ? "ranges." + current.ranges[target.index].id
                              : "groups." + current.groups[target.index].search;
        read_limits(limits, path, target, range, out.rules);
      }
    } else if (key == "totals") {
      if (!value.is_object()) {
        refuse(key, "not an object");
      }
      for (const auto& [name, limits] : value.items()) {
        const std::string path = "totals." + name;
        if (name != "program" && name != "memory") {
          refuse(path, "unknown area (known: program, memory)");
        }
        budget_rule target;
        target.kind = budget_target_kind::total;
        target.key = path;
        target.target = path;
        target.index = name == "program" ? 0 : 1;
        read_limits(limits, path, target, target.index == 0, out.rules);
      }
    } else if (key == "eeprom") {
      read_whole_target(value, key, budget_target_kind::eeprom, out.rules);
    } else if (key == "dropped") {
      read_dropped(value, out.rules);
    } else if (key == "allow") {
      out.allow = read_allow(value);
    } else if (key == "symbols") {
      read_symbols(value, out.rules);
    } else if (key == "new_symbols") {
      read_whole_target(value, key, budget_target_kind::new_symbols, out.rules);
    } else {
      refuse(key,
             "unknown key (known: budget_version, warn_headroom_pct, ranges, totals, groups, "
             "dropped, eeprom, allow, symbols, new_symbols)");
    }
  }
  add_defaults(current, out);
}

/// nlohmann keeps the last of two equal keys without a word; a budget that
/// names a limit twice is refused instead, so that no limit is lost.
class duplicate_finder {
 public:
  bool operator()(int /*depth*/, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
        m_keys.emplace_back();
        m_path.push_back(m_pending);
        break;
      case json::parse_event_t::object_end:
        m_keys.pop_back();
        m_path.pop_back();
        break;
      case json::parse_event_t::key: {
        const std::string key = parsed.get<std::string>();
        if (!m_keys.empty() && !m_keys.back().insert(key).second && m_duplicate.empty()) {
          m_duplicate = path_to(key);
        }
        m_pending = key;
        break;
      }
      default:
        break;
    }
    return true;
  }
  const std::string& duplicate() const { return m_duplicate; }

 private:
  std::string path_to(const std::string& key) const {
    std::string path;
    for (std::size_t i = 1; i < m_path.size(); ++i) {
      path += m_path[i] + ".";
    }
    return path + key;
  }

  std::vector<std::set<std::string>> m_keys;
  std::vector<std::string> m_path;
  std::string m_pending;
  std::string m_duplicate;
};
}  // namespace

bool is_percentage_limit(std::string_view limit) {
  return limit == "max_used_pct" || limit == "max_growth_pct" || limit == "max_footprint_pct";
}

std::optional<std::uint64_t> parse_size_text(std::string_view text) {
  std::uint64_t multiplier = 1;
  if (!text.empty() && (text.back() == 'K' || text.back() == 'M')) {
    multiplier = text.back() == 'K' ? 1024 : 1048576;
    text.remove_suffix(1);
  }
  if (text.empty() || text.size() > 15) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  // At most 15 digits times 2^20 stays far below 2^64; the 2^53 bound keeps it exact as a double.
  const std::uint64_t size = value * multiplier;
  if (static_cast<double>(size) > k_largest) {
    return std::nullopt;
  }
  return size;
}

bool parse_budget(std::string_view text, const report_model& current, budget& out,
                  std::string& error) {
  out = budget{};
  const bool read = json_refusal::read_or_refuse(
      [&] {
        duplicate_finder finder;
        const json file =
            json::parse(text.begin(), text.end(),
                        [&finder](int depth, json::parse_event_t event, json& parsed) {
                          return finder(depth, event, parsed);
                        });
        if (!finder.duplicate().empty()) {
          throw refusal{finder.duplicate() + ": given twice"};
        }
        read_budget(file, current, out);
      },
      error);
  if (!read) {
    out = budget{};
  }
  return read;
}
