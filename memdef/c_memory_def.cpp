#include "memdef/c_memory_def.h"

#include "text/hex_number.h"
#include "text/line_reader.h"

namespace {
struct keyword {
  std::string_view text;
  line_kind kind;
};

// The first keyword found decides a line's kind, in this order.
constexpr keyword k_keywords[] = {
    {"SEARCH", line_search}, {"PROGRAM", line_program},   {"MEMORY", line_memory},
    {"EEPROM", line_eeprom}, {"RESERVED", line_reserved},
};

// A number that cannot be read makes it and every later number of the line 0.
bool read_number(std::string_view text, std::size_t& pos, std::uint32_t& value,
                 number_reading* reading) {
  const hex_scan scan = scan_hex(text, pos, true);
  const bool ok = scan.has_digits && !scan.overflow;
  if (reading != nullptr) {
    reading->at = pos;
    while (reading->at < text.size() && is_space_char(text[reading->at])) {
      ++reading->at;
    }
    reading->end = ok ? scan.end : reading->at;
    if (ok) {
      reading->state = number_state::read;
    } else if (scan.overflow) {
      reading->state = number_state::too_large;
    } else {
      reading->state = reading->at == text.size() ? number_state::missing : number_state::malformed;
    }
  }
  if (!ok) {
    return false;
  }
  value = scan.negative ? 0u - scan.value : scan.value;
  pos = scan.end;
  return true;
}
}  // namespace

bool c_memory_def::read(const input_source& input, search_list& searches) {
  program_ranges.reserve(1024);
  memory_ranges.reserve(1024);
  eeprom_ranges.reserve(1024);
  reserved_ranges.reserve(1024);

  line_reader reader(k_max_line);
  if (!reader.open(input)) {
    return false;
  }
  std::string_view line;
  while (reader.next(line)) {
    memory_range range;
    switch (parse_line(line, range, searches)) {
      case line_program:
        program_ranges.push_back(range);
        break;
      case line_memory:
        memory_ranges.push_back(range);
        break;
      case line_eeprom:
        eeprom_ranges.push_back(range);
        break;
      case line_reserved:
        reserved_ranges.push_back(range);
        break;
      case line_search:
      case line_none:
        break;
    }
  }
  reader.close();
  return !program_ranges.empty() || !memory_ranges.empty() || !eeprom_ranges.empty() ||
         !reserved_ranges.empty();
}

line_kind c_memory_def::parse_line(std::string_view line, memory_range& range,
                                   search_list& searches) {
  return parse_line(line, range, searches, nullptr);
}

line_kind c_memory_def::parse_line(std::string_view line, memory_range& range,
                                   search_list& searches, line_reading* reading) {
  // Only the first '/' counts: the line is cut there when a second one follows.
  const std::size_t slash = line.find('/');
  const bool comment =
      slash != std::string_view::npos && slash + 1 < line.size() && line[slash + 1] == '/';
  if (comment) {
    line = line.substr(0, slash);
  }
  if (reading != nullptr) {
    *reading = line_reading{};
    reading->first_slash = slash;
    reading->comment = comment;
    reading->text = line;
  }

  for (const keyword& key : k_keywords) {
    const std::size_t at = line.find(key.text);
    if (at == std::string_view::npos) {
      continue;
    }
    // The arguments start after as many characters as the keyword has, even
    // when the keyword stands later in the line.
    const std::string_view args = line.substr(key.text.size());
    if (reading != nullptr) {
      reading->keyword = key.text;
      reading->keyword_at = at;
      reading->arguments = args;
    }
    if (key.kind == line_search) {
      search_entry entry(args);
      if (entry.valid) {
        searches.push_back(std::move(entry));
      }
      return line_search;
    }
    std::size_t pos = 0;
    if (read_number(args, pos, range.start, reading != nullptr ? &reading->numbers[0] : nullptr)) {
      read_number(args, pos, range.size, reading != nullptr ? &reading->numbers[1] : nullptr);
    }
    return key.kind;
  }
  return line_none;
}

std::string_view c_memory_def::keyword_text(line_kind kind) {
  for (const keyword& key : k_keywords) {
    if (key.kind == kind) {
      return key.text;
    }
  }
  return {};
}

namespace {
bool holds(const memory_range& range, std::uint32_t start, std::uint64_t end) {
  return range.start <= start && end <= std::uint64_t{range.start} + range.size;
}
}  // namespace

bool c_memory_def::find_range(std::uint32_t start, std::uint32_t size, std::int32_t& range_index,
                              const std::vector<memory_range>& ranges) const {
  if (size == 0) {
    return false;
  }
  // Exact containment in 64 bits: nothing wraps around the top of the address space.
  const std::uint64_t record_end = std::uint64_t{start} + size;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (holds(ranges[i], start, record_end)) {
      range_index = static_cast<std::int32_t>(i);
      return true;
    }
  }
  return false;
}

std::uint32_t c_memory_def::total_size(const std::vector<memory_range>& ranges) {
  std::uint32_t total = 0;
  for (const memory_range& range : ranges) {
    total += range.size;
  }
  return total;
}

memory_range c_memory_def::reserved_range(std::size_t i) const {
  if (i < reserved_ranges.size()) {
    return reserved_ranges[i];
  }
  return memory_range{};
}
