#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "report/run_memory_report.h"

namespace fs = std::filesystem;

namespace fuzz_support {

void fail(const char* file, int line, const std::string& what) {
  std::fprintf(stderr, "\n%s:%d: check failed: %s\n", file, line, what.c_str());
  std::fflush(stderr);
  std::abort();
}

namespace {
class scratch_folder {
 public:
  scratch_folder() {
    std::string pattern = (fs::temp_directory_path() / "vemora_fuzz_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      fail(__FILE__, __LINE__, "cannot create the scratch folder");
    }
    m_path = pattern;
  }
  ~scratch_folder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;

  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};
}  // namespace

const std::string& scratch_dir() {
  static const scratch_folder folder;
  return folder.path();
}

std::string write_scratch(const std::string& name, std::string_view bytes) {
  const std::string path = scratch_dir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    fail(__FILE__, __LINE__, "cannot write the scratch file " + path);
  }
  return path;
}

std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> scratch_entries() {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(scratch_dir())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void remove_scratch(const std::string& name) {
  std::error_code ec;
  fs::remove(scratch_dir() + "/" + name, ec);
}

std::vector<text_line> split_lines(std::string_view bytes, std::size_t max_length) {
  std::vector<text_line> lines;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t lf = bytes.find('\n', pos);
    text_line line;
    std::string_view raw;
    if (lf == std::string_view::npos) {
      raw = bytes.substr(pos);
      line.terminated = false;
      pos = bytes.size();
    } else {
      raw = bytes.substr(pos, lf - pos);
      pos = lf + 1;
    }
    // A carriage return is dropped only in front of a line feed.
    if (line.terminated && !raw.empty() && raw.back() == '\r') {
      raw.remove_suffix(1);
    }
    raw = raw.substr(0, max_length);
    raw = raw.substr(0, raw.find('\0'));
    line.text.assign(raw);
    lines.push_back(std::move(line));
  }
  return lines;
}

c_hex_number read_c_hex(const std::string& text, std::size_t pos) {
  c_hex_number number;
  number.end = pos;
  std::size_t p = pos;
  while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p])) != 0) {
    ++p;
  }
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    number.negative = text[p] == '-';
    ++p;
  }
  // strtoull takes only one sign and skips blanks only in front of it.
  if (p >= text.size() || text[p] == '+' || text[p] == '-' ||
      std::isspace(static_cast<unsigned char>(text[p])) != 0) {
    return number;
  }
  const char* begin = text.c_str() + p;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(begin, &end, 16);
  if (end == begin) {
    return number;
  }
  number.has_digits = true;
  number.beyond_32_bits = errno == ERANGE || value > 0xFFFFFFFFull;
  number.magnitude = number.beyond_32_bits ? 0 : static_cast<std::uint32_t>(value);
  number.end = static_cast<std::size_t>(end - text.c_str());
  return number;
}

bool range_holds(const memory_range& range, const section_record& record) {
  if (record.size == 0) {
    return false;
  }
  const std::uint64_t range_end = std::uint64_t{range.start} + range.size;
  const std::uint64_t record_end = std::uint64_t{record.start} + record.size;
  return range.start <= record.start && record_end <= range_end;
}

int first_holding_range(const std::vector<memory_range>& ranges, const section_record& record) {
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (range_holds(ranges[i], record)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void check_section_lists(const c_memory_def& definition, const section_list& program_sections,
                         const section_list& memory_sections) {
  std::uint32_t program_bytes = 0;
  std::vector<std::uint32_t> per_range(definition.program_ranges.size(), 0);
  const section_record* previous = nullptr;
  for (const section_record& record : program_sections) {
    FUZZ_CHECK(record.size != 0);
    FUZZ_CHECK(previous == nullptr || previous->start <= record.start);
    FUZZ_CHECK(record.range_index >= 0);
    FUZZ_CHECK(static_cast<std::size_t>(record.range_index) < definition.program_ranges.size());
    FUZZ_CHECK(range_holds(definition.program_ranges[record.range_index], record));
    FUZZ_CHECK(first_holding_range(definition.program_ranges, record) == record.range_index);
    program_bytes += record.size;
    per_range[record.range_index] += record.size;
    previous = &record;
  }

  std::uint32_t memory_bytes = 0;
  std::uint32_t bit_count = 0;
  previous = nullptr;
  for (const section_record& record : memory_sections) {
    FUZZ_CHECK(record.size != 0);
    FUZZ_CHECK(previous == nullptr || previous->start <= record.start);
    FUZZ_CHECK(record.range_index >= 0);
    FUZZ_CHECK(static_cast<std::size_t>(record.range_index) < definition.memory_ranges.size());
    FUZZ_CHECK(range_holds(definition.memory_ranges[record.range_index], record));
    FUZZ_CHECK(first_holding_range(definition.memory_ranges, record) == record.range_index);
    FUZZ_CHECK(first_holding_range(definition.program_ranges, record) == -1);
    if (record.size_unit == 1) {
      bit_count += record.size;
    } else {
      memory_bytes += record.size;
    }
    previous = &record;
  }

  const memory_totals totals = compute_totals(definition, program_sections, memory_sections);
  FUZZ_CHECK(totals.program_bytes == program_bytes);
  FUZZ_CHECK(totals.memory_bytes == memory_bytes);
  FUZZ_CHECK(totals.bit_count == bit_count);
  FUZZ_CHECK(totals.seg_used == per_range);
  std::uint32_t seg_sum = 0;
  for (const std::uint32_t used : totals.seg_used) {
    seg_sum += used;
  }
  FUZZ_CHECK(seg_sum == totals.program_bytes);
  FUZZ_CHECK(totals.program_records == program_sections.size());
  FUZZ_CHECK(totals.memory_records == memory_sections.size());
}

std::vector<section_record> to_vector(const section_list& list) {
  return std::vector<section_record>(list.begin(), list.end());
}

bool same_record(const section_record& a, const section_record& b) {
  return a.start == b.start && a.size == b.size && a.range_index == b.range_index &&
         a.name.str() == b.name.str() && a.size_unit == b.size_unit;  // names of two pools
}

namespace {
void insert_newest_first(std::vector<section_record>& list, const section_record& record) {
  // Before the first record whose start is greater or equal.
  const auto position = std::find_if(list.begin(), list.end(), [&record](const section_record& r) {
    return r.start >= record.start;
  });
  list.insert(position, record);
}

void check_same(const std::vector<section_record>& expected, const section_list& actual) {
  FUZZ_CHECK(expected.size() == actual.size());
  std::size_t i = 0;
  for (const section_record& record : actual) {
    if (!same_record(expected[i], record)) {
      fail(__FILE__, __LINE__,
           "record " + std::to_string(i) + " differs: got '" + record.name.str() + "' start " +
               std::to_string(record.start) + " size " + std::to_string(record.size) +
               ", expected '" + expected[i].name.str() + "' start " +
               std::to_string(expected[i].start) + " size " + std::to_string(expected[i].size));
    }
    ++i;
  }
}
}  // namespace

void reference_place(const c_memory_def& definition, section_record record, placed_lists& lists,
                     bool program_only) {
  const int program_index = first_holding_range(definition.program_ranges, record);
  if (program_index >= 0) {
    record.range_index = program_index;
    insert_newest_first(lists.program, record);
    return;
  }
  if (program_only) {
    return;
  }
  const int memory_index = first_holding_range(definition.memory_ranges, record);
  if (memory_index >= 0) {
    record.range_index = memory_index;
    insert_newest_first(lists.memory, record);
  }
}

void check_same_lists(const placed_lists& expected, const section_list& program_sections,
                      const section_list& memory_sections) {
  check_same(expected.program, program_sections);
  check_same(expected.memory, memory_sections);
}

c_memory_def reader_definition() {
  c_memory_def definition;
  definition.program_ranges = {
      {0x00000000, 0x00010000}, {0x00008000, 0x00010000}, {0x00100000, 0x00000000},
      {0x03FF0000, 0x00010000}, {0xFFFF0000, 0x00010000}, {0xFEDF0000, 0x00002000},
      {0x00FE0000, 0x00001000}, {0x40000000, 0x00001000},
  };
  definition.memory_ranges = {
      {0x00000000, 0x00020000},
      {0x00400000, 0x00400000},
      {0x02000000, 0x01000000},
      {0x80000000, 0x7FFFFFFF},
  };
  definition.eeprom_ranges = {{0x00A00000, 0x00001000}};
  definition.reserved_ranges = {
      {0x00001000, 0x00000100}, {0x00400000, 0x00000010}, {0x03FFFFF0, 0x00000020},
      {0xFFFFFFF0, 0x00000010}, {0x00002000, 0x00000000},
  };
  return definition;
}

namespace {
// Column text of [[:xdigit:]]+: at most 8 significant digits fit in 32 bits.
std::uint32_t reference_hex(const std::string& digits) {
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    return 0;
  }
  if (digits.size() - first > 8) {
    return 0;
  }
  return static_cast<std::uint32_t>(std::stoul(digits.substr(first), nullptr, 16));
}

bool dropped(const std::string& name, const std::string& attributes) {
  return name.find("debug") != std::string::npos ||
         attributes.find("DEBUGGING") != std::string::npos || name == "heap" || name == "linfix" ||
         name == "gstackfix" || name == "note.renesas";
}

void reference_pux4_rewrite(const std::vector<std::string>& lines,
                            std::vector<section_record>& records, section_name_pool& names) {
  static const std::regex begin_pattern("([0-9a-f]+)[[:space:]]+[A-Z]+[[:space:]]+__stack_begin",
                                        std::regex::ECMAScript);
  static const std::regex end_pattern("([0-9a-f]+)[[:space:]]+[A-Z]+[[:space:]]+__stack_end",
                                      std::regex::ECMAScript);
  const auto named = [&records](const char* name) {
    return std::find_if(records.begin(), records.end(),
                        [name](const section_record& r) { return r.name == name; }) -
           records.begin();
  };
  const std::size_t data = static_cast<std::size_t>(named(".data"));
  const std::size_t data_begin = static_cast<std::size_t>(named(".data_begin"));
  if (data == records.size() || data_begin == records.size()) {
    return;
  }
  section_record copy = records[data];
  copy.name = section_name("rodata", names);
  records[data].start = records[data_begin].start;
  records.push_back(copy);

  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  std::smatch match;
  for (const std::string& line : lines) {
    if (std::regex_match(line, match, begin_pattern)) {
      begin = reference_hex(match[1].str());
    }
    if (std::regex_match(line, match, end_pattern)) {
      end = reference_hex(match[1].str());
    }
  }
  if (begin != end) {
    section_record stack;
    stack.start = begin;
    stack.size = end - begin;
    stack.name = section_name("stack", names);
    records.push_back(stack);
  }
}
}  // namespace

std::string named_section_regex(const std::vector<std::string>& names) {
  std::string text = "[[:space:]]*([[:digit:]]+)[[:space:]]+(";
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "." : "|.") + names[i];
  }
  return text + ")[[:space:]]+([[:xdigit:]]+)[[:space:]]+([[:xdigit:]]+)[[:space:]]+(.*)";
}

std::string mem32_section_regex() {
  return "[[:space:]]*([[:digit:]]+)[[:space:]]+[[:punct:]]*([a-zA-Z0-9_.]+)"
         "[[:space:]]+([[:xdigit:]]+)[[:space:]]+([[:xdigit:]]+)[[:space:]]+(.*)";
}

bool reference_elxr_records(const elxr_reference& reference, std::string_view bytes,
                            std::vector<section_record>& records, section_name_pool& names) {
  records.clear();
  std::vector<std::string> lines;
  for (text_line& line : split_lines(bytes, 2047)) {
    if (line.text.size() > k_regex_line_limit) {
      return false;
    }
    if (!line.text.empty()) {
      lines.push_back(std::move(line.text));
    }
  }
  std::smatch match;
  std::size_t i = 0;
  while (i < lines.size()) {
    const std::string& line = lines[i++];
    if (!std::regex_match(line, match, reference.section_pattern)) {
      continue;
    }
    section_record record;
    record.name = section_name(match[2].str(), names);
    record.size = reference_hex(match[3].str());
    record.start = reference_hex(match[4].str()) & reference.mask;
    if (i >= lines.size()) {
      break;
    }
    const std::string& attributes = lines[i++];
    if (!dropped(record.name, attributes)) {
      records.push_back(record);
    }
  }
  if (reference.pux4) {
    reference_pux4_rewrite(lines, records, names);
  }
  return true;
}

const std::vector<std::string>& tev2_names() {
  static const std::vector<std::string> names = {
      "appinfo",        "bss",          "cfginfo",     "data",
      "DFALib_TextRam", "DFALib_Text",  "EEELib_Text", "fblflashblocks",
      "fixaddr",        "fixtype",      "intvect",     "noclrdatanvmflashblocks",
      "osstackbss",     "osstackdata",  "osstacksbss", "osstacksdata",
      "osstacktata",    "osstackzdata", "osstackzbss", "pblflashblocks",
      "robase",         "rodata",       "romdata",     "romsdata",
      "romtdata",       "romzdata",     "rosdata",     "rozdata",
      "sbss",           "sdabase",      "sdata",       "secinfo",
      "sharedata",      "stack",        "sldata",      "syscall",
      "tdata",          "text",         "zbss",        "zdata",
  };
  return names;
}

const std::vector<std::string>& orm8_names() {
  static const std::vector<std::string> names = {
      "bsct",          "ubsct",     "share",     "data",        "data, initialized", "bss",
      "RuxSysTestRam", "HalADCRam", "RuxEepRam", "RuxParamRam", "NvmBuffer",         "NoClear",
      "MY_STACK",      "eeprom",    "OptBytes",  "OptByTMU",    "OptByBL",           "vector",
      "PBL",           "const",     "text",      "ISR",         "STARTUPFUNC",       "CfgId",
      "Reserved",      "init",
  };
  return names;
}

const std::vector<std::string>& pux4_names() {
  static const std::vector<std::string> names = {
      "bsct",     "ubsct",  "share",    "data_begin",  "data",    "bss",      "NoClear",
      "MY_STACK", "eeprom", "OptBytes", "OptByTMU",    "OptByBL", "vector",   "PBL",
      "const",    "text",   "ISR",      "STARTUPFUNC", "CfgId",   "Reserved", "init",
  };
  return names;
}

void split_run_inputs(std::string_view rest, std::string_view (&parts)[3]) {
  static const std::string_view separator = "\n@@@@\n";
  std::size_t pos = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t end = i == 2 ? std::string_view::npos : rest.find(separator, pos);
    if (end == std::string_view::npos) {
      parts[i] = rest.substr(std::min(pos, rest.size()));
      pos = rest.size() + 1;
    } else {
      parts[i] = rest.substr(pos, end - pos);
      pos = end + separator.size();
    }
  }
}

}  // namespace fuzz_support
