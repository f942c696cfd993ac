#include "linkmap/gnu_ld_map.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

namespace {

constexpr std::string_view k_archive_heading =
    "Archive member included to satisfy reference by file (symbol)";
constexpr std::string_view k_as_needed_heading =
    "As-needed library included to satisfy reference by file (symbol)";
constexpr std::string_view k_common_heading = "Allocating common symbols";
constexpr std::string_view k_discarded_heading = "Discarded input sections";
constexpr std::string_view k_memory_heading = "Memory Configuration";
constexpr std::string_view k_script_heading = "Linker script and memory map";
constexpr std::string_view k_cross_reference_heading = "Cross Reference Table";
constexpr std::string_view k_relaxing = "(size before relaxing)";
/// ld pads a symbol's address to its name with this many spaces, an assignment's with more.
constexpr std::size_t k_symbol_gap = 16;
/// The column where ld writes the referencing file of an archive member on the member's line.
constexpr std::size_t k_reference_column = 30;

enum class map_part : std::uint8_t {
  before,
  archive_members,
  skipped,
  discarded,
  memory,
  script,
  cross_reference,
};

bool is_space(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_space(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && is_space(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::size_t leading_spaces(std::string_view text) {
  std::size_t count = 0;
  while (count < text.size() && is_space(text[count])) {
    ++count;
  }
  return count;
}

/// The next run of non-blank characters of rest; rest keeps what follows it.
std::string_view next_token(std::string_view& rest) {
  rest.remove_prefix(leading_spaces(rest));
  std::size_t end = 0;
  while (end < rest.size() && !is_space(rest[end])) {
    ++end;
  }
  const std::string_view token = rest.substr(0, end);
  rest.remove_prefix(end);
  return token;
}

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

bool all_hex(std::string_view digits) {
  return std::all_of(digits.begin(), digits.end(), [](char c) { return hex_digit(c) >= 0; });
}

/// "0x" and one to any number of hexadecimal digits whose value fits 64 bits.
bool parse_hex(std::string_view token, std::uint64_t& value) {
  if (token.size() < 3 || token[0] != '0' || (token[1] != 'x' && token[1] != 'X')) {
    return false;
  }
  std::string_view digits = token.substr(2);
  if (!all_hex(digits)) {
    return false;
  }
  while (digits.size() > 1 && digits.front() == '0') {
    digits.remove_prefix(1);
  }
  if (digits.size() > 16) {
    return false;
  }
  value = 0;
  for (const char c : digits) {
    value = (value << 4) | static_cast<std::uint64_t>(hex_digit(c));
  }
  return true;
}

/// Whether [address, address + size) stays inside the 64-bit address space.
bool fits_space(std::uint64_t address, std::uint64_t size) {
  return size <= std::numeric_limits<std::uint64_t>::max() - address;
}

/// "path", or "archive(member)" split at the parenthesis matching the last one. An object of
/// an LTO partition (its file name holds "ltrans") becomes "(lto)".
gnu_ld_origin origin_of(std::string_view text) {
  text = trim(text);
  gnu_ld_origin origin;
  if (text.size() >= 2 && text.back() == ')') {
    int depth = 0;
    for (std::size_t i = text.size(); i-- > 0;) {
      if (text[i] == ')') {
        ++depth;
      } else if (text[i] == '(' && --depth == 0) {
        if (i > 0) {
          origin.file = std::string(text.substr(0, i));
          origin.member = std::string(text.substr(i + 1, text.size() - i - 2));
        }
        break;
      }
    }
  }
  if (origin.member.empty()) {
    origin.file = std::string(text);
  }
  const std::size_t slash = origin.file.find_last_of("/\\");
  const std::string_view base =
      std::string_view(origin.file).substr(slash == std::string::npos ? 0 : slash + 1);
  if (origin.member.empty() && base.find("ltrans") != std::string_view::npos) {
    origin.file = "(lto)";
  }
  return origin;
}

/// "0x<address> 0x<size>" and what follows them, as ld writes it after a section's name.
struct placement {
  std::uint64_t address = 0;
  std::uint64_t size = 0;
  std::string_view rest;
};

bool parse_placement(std::string_view text, placement& out) {
  if (!parse_hex(next_token(text), out.address) || !parse_hex(next_token(text), out.size)) {
    return false;
  }
  out.rest = trim(text);
  return true;
}

bool is_data_keyword(std::string_view word) {
  return word == "BYTE" || word == "SHORT" || word == "LONG" || word == "QUAD" || word == "SQUAD";
}

bool is_directive(std::string_view line) {
  return starts_with(line, "LOAD ") || line == "START GROUP" || line == "END GROUP" ||
         starts_with(line, "OUTPUT(") || starts_with(line, "TARGET(") ||
         starts_with(line, "INPUT(") || starts_with(line, "SEARCH_DIR(") ||
         starts_with(line, "INSERT ");
}

/// Whether the text after an address is a linker script assignment rather than a symbol: ld
/// writes assignments further right (current versions) or they read as one.
bool is_assignment(std::size_t gap, std::string_view text) {
  if (gap > k_symbol_gap) {
    return true;
  }
  for (const std::string_view word : {"PROVIDE", "HIDDEN", "ASSERT"}) {
    if (starts_with(text, word)) {
      return true;
    }
  }
  for (const std::string_view op :
       {" = ", " += ", " -= ", " *= ", " /= ", " &= ", " |= ", " <<= ", " >>= "}) {
    if (text.find(op) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

void settle_symbol_sizes(gnu_ld_input_section& input) {
  std::vector<std::uint64_t> starts;
  starts.reserve(input.symbols.size());
  for (const gnu_ld_symbol& symbol : input.symbols) {
    starts.push_back(symbol.address);
  }
  std::sort(starts.begin(), starts.end());
  const std::uint64_t end = input.address + input.size;
  for (gnu_ld_symbol& symbol : input.symbols) {
    const auto next = std::upper_bound(starts.begin(), starts.end(), symbol.address);
    symbol.size = (next == starts.end() ? end : *next) - symbol.address;
  }
}

class map_reader {
 public:
  explicit map_reader(std::string_view text) {
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
      }
      m_lines.push_back(line);
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
  }

  gnu_ld_map_result read() {
    for (m_at = 0; m_at < m_lines.size() && m_result.error.empty(); ++m_at) {
      const std::string_view line = m_lines[m_at];
      if (take_heading(trim(line))) {
        continue;
      }
      if (trim(line).empty()) {
        continue;
      }
      switch (m_part) {
        case map_part::before:
          refuse("not a GNU ld map: text before its first heading");
          break;
        case map_part::archive_members:
          read_archive_line(line);
          break;
        case map_part::discarded:
          read_discarded_line(line);
          break;
        case map_part::memory:
          read_memory_line(line);
          break;
        case map_part::script:
          read_script_line(line);
          break;
        case map_part::skipped:
        case map_part::cross_reference:
          break;
      }
    }
    if (m_result.error.empty() && !m_seen_script) {
      m_at = m_lines.size();
      refuse("not a GNU ld map: no \"Linker script and memory map\"");
    }
    if (m_result.error.empty() && m_pending_member) {
      refuse("the archive member has no line naming its reference");
    }
    if (!m_result.error.empty()) {
      gnu_ld_map_result refused;
      refused.line = m_result.line;
      refused.error = std::move(m_result.error);
      return refused;
    }
    close_output_section();
    m_result.ok = true;
    return std::move(m_result);
  }

 private:
  void refuse(std::string why) {
    if (m_result.error.empty()) {
      m_result.line = m_at + 1;
      m_result.error = std::move(why);
    }
  }

  gnu_ld_map& map() { return m_result.map; }

  bool take_heading(std::string_view line) {
    map_part next = m_part;
    if (m_part == map_part::script || m_part == map_part::cross_reference) {
      if (line != k_cross_reference_heading) {
        return false;
      }
      next = map_part::cross_reference;
    } else if (line == k_archive_heading) {
      next = map_part::archive_members;
    } else if (line == k_as_needed_heading || line == k_common_heading) {
      next = map_part::skipped;
    } else if (line == k_discarded_heading) {
      next = map_part::discarded;
    } else if (line == k_memory_heading) {
      next = map_part::memory;
    } else if (line == k_script_heading) {
      next = map_part::script;
      m_seen_script = true;
    } else {
      return false;
    }
    if (m_pending_member) {
      refuse("the archive member has no line naming its reference");
    }
    m_part = next;
    return true;
  }

  // --- Archive members ----------------------------------------------------------------------

  void read_archive_line(std::string_view line) {
    if (is_space(line.front())) {
      if (!m_pending_member) {
        refuse("a reference line without its archive member");
        return;
      }
      m_pending_member = false;
      read_reference(line);
      return;
    }
    if (m_pending_member) {
      refuse("the archive member has no line naming its reference");
      return;
    }
    std::string_view member = line;
    std::string_view reference;
    if (line.size() > k_reference_column && is_space(line[k_reference_column - 1]) &&
        !is_space(line[k_reference_column])) {
      member = line.substr(0, k_reference_column);
      reference = line.substr(k_reference_column);
    }
    gnu_ld_archive_member entry;
    entry.member = origin_of(member);
    if (entry.member.member.empty()) {
      refuse("an archive member line needs archive(member)");
      return;
    }
    map().archive_members.push_back(std::move(entry));
    if (reference.empty()) {
      m_pending_member = true;
    } else {
      read_reference(reference);
    }
  }

  /// "file (symbol)", or "(symbol)" for a reference from the command line or the script.
  void read_reference(std::string_view text) {
    text = trim(text);
    std::size_t open = std::string_view::npos;
    if (!text.empty() && text.back() == ')') {
      int depth = 0;
      for (std::size_t i = text.size(); i-- > 0;) {
        if (text[i] == ')') {
          ++depth;
        } else if (text[i] == '(' && --depth == 0) {
          open = i;
          break;
        }
      }
    }
    if (open == std::string_view::npos || (open > 0 && !is_space(text[open - 1]))) {
      refuse("a reference line needs \"file (symbol)\" or \"(symbol)\"");
      return;
    }
    gnu_ld_archive_member& entry = map().archive_members.back();
    entry.symbol = std::string(text.substr(open + 1, text.size() - open - 2));
    const std::string_view from = trim(text.substr(0, open));
    if (!from.empty()) {
      entry.referenced_by = origin_of(from);
    }
  }

  // --- Input section lines, shared by the discarded list and the script ---------------------

  /// The placement on the line after the current one when it holds nothing else; consumes it.
  bool take_continuation(placement& out) {
    if (m_at + 1 >= m_lines.size()) {
      return false;
    }
    const std::string_view next = m_lines[m_at + 1];
    if (next.empty() || !is_space(next.front()) || !parse_placement(next, out)) {
      return false;
    }
    ++m_at;
    return true;
  }

  /// " name 0x<address> 0x<size> rest", on one line or with the name alone on the first. False
  /// (and nothing consumed) when the line is no such entry.
  bool read_entry(std::string_view line, std::string_view& name, placement& where) {
    std::string_view rest = line;
    name = next_token(rest);
    if (trim(rest).empty()) {
      return take_continuation(where);
    }
    return parse_placement(rest, where);
  }

  void read_discarded_line(std::string_view line) {
    std::string_view name;
    placement where;
    if (leading_spaces(line) != 1 || !read_entry(line, name, where) || where.rest.empty()) {
      refuse("a discarded input section line needs a name, an address, a size and a file");
      return;
    }
    const gnu_ld_origin origin = origin_of(where.rest);
    auto& discarded = map().discarded;
    auto found = std::find_if(discarded.begin(), discarded.end(),
                              [&](const gnu_ld_discarded& d) { return d.origin == origin; });
    if (found == discarded.end()) {
      discarded.push_back(gnu_ld_discarded{origin, 0, 0});
      found = discarded.end() - 1;
    }
    ++found->sections;
    found->bytes += std::min(where.size, std::numeric_limits<std::uint64_t>::max() - found->bytes);
  }

  // --- Memory configuration -----------------------------------------------------------------

  void read_memory_line(std::string_view line) {
    std::string_view rest = line;
    const std::string_view name = next_token(rest);
    if (name == "Name" && trim(rest).substr(0, 6) == "Origin") {
      return;
    }
    gnu_ld_memory_region region;
    if (!parse_hex(next_token(rest), region.origin) ||
        !parse_hex(next_token(rest), region.length)) {
      refuse("a memory region line needs a name, an origin and a length");
      return;
    }
    if (name == "*default*") {
      return;
    }
    region.name = std::string(name);
    region.attributes = std::string(trim(rest));
    map().memory_regions.push_back(std::move(region));
  }

  // --- Linker script and memory map ---------------------------------------------------------

  void read_script_line(std::string_view line) {
    const std::size_t indent = leading_spaces(line);
    if (indent == 0) {
      read_top_line(line);
    } else if (indent == 1) {
      read_input_line(line);
    } else {
      read_deep_line(line);
    }
  }

  void close_output_section() {
    if (!m_in_section) {
      return;
    }
    m_in_section = false;
    m_current_input = false;
    gnu_ld_output_section& section = map().output_sections.back();
    std::uint64_t counted = 0;
    for (gnu_ld_input_section& input : section.inputs) {
      settle_symbol_sizes(input);
      counted += std::min(input.size, std::numeric_limits<std::uint64_t>::max() - counted);
    }
    if (counted != section.size) {
      map().size_mismatches.push_back(gnu_ld_size_mismatch{map().output_sections.size() - 1,
                                                           section.name, section.size, counted});
    }
  }

  void read_top_line(std::string_view line) {
    close_output_section();
    m_in_skipped = false;
    line = trim(line);
    if (is_directive(line)) {
      return;
    }
    std::string_view rest = line;
    const std::string_view name = next_token(rest);
    placement where;
    const bool placed =
        trim(rest).empty() ? take_continuation(where) : parse_placement(rest, where);
    if (!placed) {
      if (!trim(rest).empty()) {
        refuse("an output section line needs a name, an address and a size");
      }
      m_in_skipped = true;  // no address: /DISCARD/, or a section the linker did not make
      return;
    }
    gnu_ld_output_section section;
    section.name = std::string(name);
    section.address = where.address;
    section.size = where.size;
    section.load_address = where.address;
    if (!where.rest.empty()) {
      std::string_view load = where.rest;
      if (next_token(load) != "load" || next_token(load) != "address" ||
          !parse_hex(next_token(load), section.load_address) || !trim(load).empty()) {
        refuse("an output section line may only end with \"load address 0x...\"");
        return;
      }
    }
    if (!fits_space(section.address, section.size) ||
        !fits_space(section.load_address, section.size)) {
      refuse("the output section reaches beyond the 64-bit address space");
      return;
    }
    map().output_sections.push_back(std::move(section));
    m_in_section = true;
  }

  bool add_input(gnu_ld_input_section input) {
    if (!m_in_section) {
      refuse(m_in_skipped ? "an input section under an output section without an address"
                          : "an input section outside any output section");
      return false;
    }
    if (!fits_space(input.address, input.size)) {
      refuse("the input section reaches beyond the 64-bit address space");
      return false;
    }
    map().output_sections.back().inputs.push_back(std::move(input));
    return true;
  }

  /// The address where the current output section's last entry ends (its start when empty).
  std::uint64_t current_end() {
    const gnu_ld_output_section& section = map().output_sections.back();
    if (section.inputs.empty()) {
      return section.address;
    }
    return section.inputs.back().address + section.inputs.back().size;
  }

  void read_input_line(std::string_view line) {
    m_current_input = false;
    const std::string_view body = trim(line);
    if (starts_with(body, "FILL mask 0x")) {
      const std::string_view pattern = body.substr(12);
      if (pattern.empty() || !all_hex(pattern) || !m_in_section) {
        refuse("a FILL statement needs a hexadecimal pattern inside an output section");
        return;
      }
      gnu_ld_input_section fill;
      fill.kind = gnu_ld_input_kind::data;
      fill.name = "FILL";
      fill.address = current_end();
      fill.value = std::string(pattern);
      add_input(std::move(fill));
      return;
    }
    std::string_view name;
    placement where;
    if (!read_entry(line, name, where)) {
      // A pattern of the script (*(.text*), KEEP (...), file.o(.data)): it places nothing.
      if (body.find_first_of("*(") == std::string_view::npos) {
        refuse("an input section line needs an address and a size");
      }
      return;
    }
    gnu_ld_input_section input;
    input.name = std::string(name);
    input.address = where.address;
    input.size = where.size;
    if (name == "*fill*") {
      input.kind = gnu_ld_input_kind::fill;
      if (!all_hex(where.rest)) {
        refuse("a fill line may only end with its hexadecimal pattern");
        return;
      }
      input.value = std::string(where.rest);
    } else {
      input.kind = name == "COMMON" ? gnu_ld_input_kind::common : gnu_ld_input_kind::section;
      if (where.rest.empty()) {
        refuse("an input section line needs the file it comes from");
        return;
      }
      input.origin = origin_of(where.rest);
    }
    const bool takes_symbols = input.kind != gnu_ld_input_kind::fill;
    m_current_input = add_input(std::move(input)) && takes_symbols;
  }

  void read_deep_line(std::string_view line) {
    std::string_view rest = line;
    const std::string_view first = next_token(rest);
    if (first == "[!provide]") {
      m_current_input = false;
      return;
    }
    std::uint64_t address = 0;
    if (!parse_hex(first, address)) {
      refuse("a line of the memory map needs an address first");
      return;
    }
    const std::size_t gap = leading_spaces(rest);
    const std::string_view text = trim(rest);
    if (text == k_relaxing) {
      return;  // the input section's size before relaxing: the listed size is the one placed
    }
    std::string_view after = text;
    const std::string_view second = next_token(after);
    std::uint64_t size = 0;
    if (parse_hex(second, size)) {
      read_data_line(address, size, after);
      return;
    }
    if (text.empty() || is_assignment(gap, text)) {
      m_current_input = false;
      return;
    }
    if (!m_current_input) {
      refuse("a symbol line that follows no input section");
      return;
    }
    gnu_ld_input_section& input = map().output_sections.back().inputs.back();
    if (address < input.address || address - input.address > input.size) {
      refuse("the symbol lies outside its input section");
      return;
    }
    input.symbols.push_back(gnu_ld_symbol{address, 0, std::string(text)});
  }

  /// "0x<address> 0x<size> LONG <value>" of a BYTE, SHORT, LONG, QUAD or SQUAD statement.
  void read_data_line(std::uint64_t address, std::uint64_t size, std::string_view rest) {
    m_current_input = false;
    const std::string_view keyword = next_token(rest);
    if (!is_data_keyword(keyword)) {
      refuse("a data line needs BYTE, SHORT, LONG, QUAD or SQUAD after its size");
      return;
    }
    gnu_ld_input_section data;
    data.kind = gnu_ld_input_kind::data;
    data.name = std::string(keyword);
    data.address = address;
    data.size = size;
    data.value = std::string(trim(rest));
    add_input(std::move(data));
  }

  std::vector<std::string_view> m_lines;
  std::size_t m_at = 0;
  map_part m_part = map_part::before;
  bool m_seen_script = false;
  bool m_pending_member = false;
  bool m_in_section = false;     ///< the last output section is open for entries
  bool m_in_skipped = false;     ///< inside an output section without an address
  bool m_current_input = false;  ///< the last input section takes symbol lines
  gnu_ld_map_result m_result;
};

}  // namespace

gnu_ld_map_result read_gnu_ld_map(std::string_view text) {
  try {
    return map_reader(text).read();
  } catch (const std::exception& e) {
    gnu_ld_map_result refused;
    refused.error = std::string("the map could not be read: ") + e.what();
    return refused;
  }
}
