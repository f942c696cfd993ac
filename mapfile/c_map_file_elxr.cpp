#include "mapfile/c_map_file_elxr.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <filesystem>
#include <system_error>
#include <thread>

#include "text/byte_word.h"
#include "text/hex_number.h"
#include "text/line_reader.h"

namespace {
/// Whether word (not empty) occurs in text. Names and attribute lines are
/// short and hold the word's first character a few times: the places of that
/// character are found eight at a time, which beats a library search that
/// calls memchr for each of them.
bool contains(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) {
    return false;
  }
  const std::size_t places = text.size() - word.size() + 1;  // where the word may begin
  const auto holds_at = [&](std::size_t at) {
    for (std::size_t i = 1; i < word.size(); ++i) {
      if (text[at + i] != word[i]) {
        return false;
      }
    }
    return true;
  };
  std::size_t at = 0;
  for (; at + 8 <= places; at += 8) {
    std::uint64_t marks = byte_word::equal_to(byte_word::load(text.data() + at), word[0]);
    while (marks != 0) {
      if (holds_at(at + byte_word::first_marked(marks))) {
        return true;
      }
      marks &= marks - 1;
    }
  }
  for (; at < places; ++at) {
    if (text[at] == word[0] && holds_at(at)) {
      return true;
    }
  }
  return false;
}

/// Whether a hexadecimal column holds a value beyond 32 bits.
bool is_wide(std::string_view column) { return scan_hex(column, 0, false).overflow; }

/// The words and columns of a section's lines that its record does not keep.
/// rest is what follows the address column: the load address first (objdump
/// lists "LMA  File off  Algn"), and in a listing made with -w the attribute
/// words as well.
section_detail detail_of(const elxr_line_match& match, std::uint32_t mask) {
  section_detail detail;
  if (is_wide(match.start)) {
    detail.traits |= k_trait_wide_start;
  }
  if (is_wide(match.size)) {
    detail.traits |= k_trait_wide_size;
  }
  std::size_t at = 0;
  while (at < match.rest.size() && is_space_char(match.rest[at])) {
    ++at;
  }
  std::size_t end = at;
  while (end < match.rest.size() && is_xdigit_char(match.rest[end])) {
    ++end;
  }
  if (end > at && (end == match.rest.size() || is_space_char(match.rest[end]))) {
    const hex_scan load = scan_hex(match.rest.substr(at, end - at), 0, false);
    if (load.overflow) {
      detail.traits |= k_trait_wide_load;
    } else {
      detail.load_address = load.value & mask;
    }
  }
  if (contains(match.rest, "ALLOC") || contains(match.rest, "CONTENTS")) {
    detail.traits |= k_trait_wide_listing;
  }
  return detail;
}

void read_attributes(std::string_view attributes, section_detail& detail) {
  detail.traits |= k_trait_attributes;
  if (contains(attributes, "ALLOC")) {
    detail.traits |= k_trait_alloc;
  }
  if (contains(attributes, "LOAD")) {
    detail.traits |= k_trait_load;
  }
}

/// The column header line of an objdump-style listing.
bool is_header_line(std::string_view line) {
  return contains(line, "Idx") && contains(line, "Name") && contains(line, "Size") &&
         contains(line, "VMA");
}
}  // namespace

section_fate c_map_file_elxr::name_rule(std::string_view name) {
  if (contains(name, "debug")) {
    return section_fate::debug_name;
  }
  if (name == "heap" || name == "linfix" || name == "gstackfix" || name == "note.renesas") {
    return section_fate::excluded_name;
  }
  return section_fate::counted_program;
}

const elxr_line_matcher& c_map_file_elxr::section_pattern() const {
  // Built once, on whichever thread asks first, and only read afterwards.
  static const named_section_matcher pattern(c_map_file_elxr::section_names());
  return pattern;
}

const std::vector<std::string>& c_map_file_elxr::section_names() const {
  // clang-format off
  static const std::vector<std::string> names = {
      "appinfo",        "bss",           "cfginfo",      "data",
      "DFALib_TextRam", "DFALib_Text",   "EEELib_Text",  "fblflashblocks",
      "fixaddr",        "fixtype",       "intvect",      "noclrdatanvmflashblocks",
      "osstackbss",     "osstackdata",   "osstacksbss",  "osstacksdata",
      "osstacktata",    "osstackzdata",  "osstackzbss",  "pblflashblocks",
      "robase",         "rodata",        "romdata",      "romsdata",
      "romtdata",       "romzdata",      "rosdata",      "rozdata",
      "sbss",           "sdabase",       "sdata",        "secinfo",
      "sharedata",      "stack",         "sldata",       "syscall",
      "tdata",          "text",          "zbss",         "zdata",
  };
  // clang-format on
  return names;
}

bool c_map_file_elxr::read(const c_memory_def& definition, section_list& program_sections,
                           section_list& memory_sections) {
  if (!is_open) {
    return false;
  }
  // Without post-processing the records are placed as they are read (on the
  // thread of their stretch), and the lists take them over as they are.
  const c_memory_def* placing = post_processes() ? nullptr : &definition;
  section_fate_log fates;
  section_fate_log* log = account() != nullptr ? &fates : nullptr;
  // Records that are placed only after post-processing keep their lines here.
  std::vector<record_origin> lines;
  std::vector<record_origin>* record_lines =
      log != nullptr && placing == nullptr ? &lines : nullptr;
  const auto finish = [&]() {
    if (log != nullptr) {
      log->deliver(*account());
    }
    return !program_sections.empty() || !memory_sections.empty();
  };

  std::vector<section_record> records;
  const std::vector<std::uint64_t> bounds = stretch_bounds();
  std::vector<std::vector<section_record>> parts;
  std::vector<std::vector<section_record>> memory_parts;
  if (bounds.size() > 2 &&
      read_stretches(bounds, placing, parts, memory_parts, log, record_lines)) {
    stream.close();
    if (placing != nullptr) {
      program_sections.insert_parts(std::move(parts));
      memory_sections.insert_parts(std::move(memory_parts));
      return finish();
    }
    records = join_parts(std::move(parts));
  } else {
    section_name::recent_list recent(names());
    std::vector<section_record> memory_records;
    read_sections(stream, section_pattern(), recent, records, placing, &memory_records, log,
                  record_lines);
    stream.close();
    if (placing != nullptr) {
      program_sections.insert_all(std::move(records));
      memory_sections.insert_all(std::move(memory_records));
      return finish();
    }
  }

  post_process(records);

  place_all(definition, records, program_sections, memory_sections, log, record_lines);
  return finish();
}

void c_map_file_elxr::read_sections(line_reader& reader, const elxr_line_matcher& pattern,
                                    section_name::recent_list& recent,
                                    std::vector<section_record>& records,
                                    const c_memory_def* placing,
                                    std::vector<section_record>* memory_records,
                                    section_fate_log* log,
                                    std::vector<record_origin>* record_lines) const {
  const std::uint32_t mask = address_mask();
  std::string_view line;
  elxr_line_match match;
  // A line cut at the reader's length is told once, whatever it turns out to be.
  const auto next_line = [&reader, log](std::string_view& into) {
    if (!next_filled_line(reader, into)) {
      return false;
    }
    if (log != nullptr && reader.last_line_cut()) {
      log->add_cut_line(reader.line_number());
    }
    return true;
  };
  while (next_line(line)) {
    if (!pattern.match(line, match)) {
      if (log != nullptr) {
        if (match_section_shape(line, match)) {
          section_record shaped;
          shaped.name = section_name(match.name, recent);
          shaped.size = parse_hex(match.size);
          shaped.start = parse_hex(match.start) & mask;
          log->add(shaped, reader.line_number(), section_fate::name_not_accepted,
                   detail_of(match, mask));
        } else if (is_header_line(line)) {
          log->note_header();
        }
      }
      continue;
    }
    const std::uint64_t line_number = reader.line_number();
    section_record record;
    record.name = section_name(match.name, recent);
    record.size = parse_hex(match.size);
    record.start = parse_hex(match.start) & mask;
    section_detail detail;
    if (log != nullptr) {
      detail = detail_of(match, mask);
    }
    // Judged on the line's own text: another stretch may be making names.
    const section_fate by_name = name_rule(match.name);
    const bool debug_name = by_name == section_fate::debug_name;
    const bool excluded_name = by_name == section_fate::excluded_name;
    // The line after a section line is its attribute line, whatever it holds;
    // a section without one is dropped.
    std::string_view attributes;
    if (!next_line(attributes)) {
      if (log != nullptr) {
        log->add(record, line_number, section_fate::no_attribute_line, detail);
      }
      break;
    }
    if (log != nullptr) {
      read_attributes(attributes, detail);
    }
    if (debug_name || excluded_name || contains(attributes, "DEBUGGING")) {
      if (log != nullptr) {
        log->add(record, line_number,
                 debug_name                          ? section_fate::debug_name
                 : contains(attributes, "DEBUGGING") ? section_fate::debugging_attribute
                                                     : section_fate::excluded_name,
                 detail);
      }
      continue;
    }
    if (placing == nullptr) {
      records.push_back(record);
      if (record_lines != nullptr) {
        record_lines->push_back({line_number, detail});
      }
      continue;
    }
    section_fate fate = section_fate::outside_ranges;
    if (placing->find_range(record, placing->program_ranges)) {
      fate = section_fate::counted_program;
      records.push_back(record);
    } else if (placing->find_range(record, placing->memory_ranges)) {
      fate = section_fate::counted_memory;
      memory_records->push_back(record);
    }
    if (log != nullptr) {
      log->add_placement(*placing, record, line_number, fate, detail);
    }
  }
}

unsigned c_map_file_elxr::default_max_threads() {
  return std::min(8u, std::thread::hardware_concurrency());
}

std::vector<std::uint64_t> c_map_file_elxr::stretch_bounds() const {
  std::error_code error;
  const std::uint64_t size =
      source.text ? source.text->size() : std::filesystem::file_size(file_name, error);
  const std::uint64_t stretch_bytes = m_stretching.stretch_bytes;
  const unsigned max_threads = m_stretching.max_threads;
  if (error || max_threads < 2) {
    return {0, size};
  }
  // More stretches than threads: a thread that finishes early takes the next
  // one, so a core that is busy with other work holds up less.
  const std::uint64_t wanted = stretch_bytes == 0 ? size : size / stretch_bytes;
  const std::uint64_t count = std::min<std::uint64_t>(wanted, 4 * max_threads);
  std::vector<std::uint64_t> bounds = {0};
  for (std::uint64_t i = 1; i < count; ++i) {
    const std::uint64_t cut = size / count * i;
    // A cut that finds no place to begin within a stretch's length (and a
    // little more, for a line that spans the next cut) is left out; the
    // stretch before it then reads on.
    // The place is nearly always a line or two behind the cut, so a short
    // look comes first: it reads less than one whole block.
    const std::uint64_t near = std::uint64_t{64} << 10;
    const std::uint64_t limit = cut + size / count + near;
    std::uint64_t begin = stretch_start(cut, std::min(size, cut + near));
    if (begin == 0) {
      begin = stretch_start(cut, std::min(size, limit));
    }
    if (begin > bounds.back() && begin < size) {
      bounds.push_back(begin);
    }
  }
  bounds.push_back(size);
  return bounds;
}

std::uint64_t c_map_file_elxr::stretch_start(std::uint64_t offset, std::uint64_t limit) const {
  line_reader reader(k_elxr_line_length);
  if (!reader.open(source, offset, limit)) {
    return 0;
  }
  const elxr_line_matcher& pattern = section_pattern();
  elxr_line_match match;
  std::string_view line;
  // The first line is the rest of the one the offset falls into.
  if (!reader.next(line) || !reader.last_line_terminated()) {
    return 0;
  }
  // Behind a line that is no section line, whether or not it served as an
  // attribute line, the next section line is looked for afresh. A line cut
  // off by the limit may be longer in the file, so it does not count.
  while (reader.next(line) && reader.last_line_terminated()) {
    if (!line.empty() && !pattern.match(line, match)) {
      return reader.position();
    }
  }
  return 0;
}

bool c_map_file_elxr::read_stretches(const std::vector<std::uint64_t>& bounds,
                                     const c_memory_def* placing,
                                     std::vector<std::vector<section_record>>& parts,
                                     std::vector<std::vector<section_record>>& memory_parts,
                                     section_fate_log* log,
                                     std::vector<record_origin>* record_lines) const {
  const std::size_t count = bounds.size() - 1;
  parts.assign(count, {});
  memory_parts.assign(count, {});
  // Each stretch counts its lines from its own start; they are put after the
  // lines of the stretches before it once all are read.
  std::vector<section_fate_log> logs(log != nullptr ? count : 0);
  std::vector<std::vector<record_origin>> lines(record_lines != nullptr ? count : 0);
  std::vector<std::uint64_t> line_counts(count, 0);
  std::vector<std::exception_ptr> failures(count);
  std::vector<char> opened(count, 0);
  // The pattern is looked up once, before any thread uses it.
  const elxr_line_matcher& pattern = section_pattern();
  std::atomic<std::size_t> next{0};
  const auto read_parts = [&]() {
    // One reader per thread: its read buffer is set up once.
    line_reader reader(k_elxr_line_length);
    section_name::recent_list recent(names());
    // Records per byte of the stretches this thread has read: the next
    // stretch's records get room for as many, rather than growing by copies.
    double records_per_byte = 0;
    for (std::size_t i = next++; i < count; i = next++) {
      try {
        // The last stretch reads on to the end, wherever that is by now.
        const std::uint64_t end = i + 1 == count ? UINT64_MAX : bounds[i + 1];
        if (reader.open(source, bounds[i], end)) {
          opened[i] = 1;
          const auto bytes = static_cast<double>(bounds[i + 1] - bounds[i]);
          parts[i].reserve(static_cast<std::size_t>(bytes * records_per_byte * 1.1));
          read_sections(reader, pattern, recent, parts[i], placing, &memory_parts[i],
                        log != nullptr ? &logs[i] : nullptr,
                        record_lines != nullptr ? &lines[i] : nullptr);
          // A stretch is read to its end, so this counts all of its lines.
          line_counts[i] = reader.line_number();
          records_per_byte = static_cast<double>(parts[i].size() + memory_parts[i].size()) / bytes;
        }
      } catch (...) {
        failures[i] = std::current_exception();
      }
    }
  };
  const std::size_t helpers = std::min<std::size_t>(count, m_stretching.max_threads) - 1;
  std::vector<std::thread> threads;
  threads.reserve(helpers);  // starting a thread is then the only thing that can fail
  for (std::size_t i = 0; i < helpers; ++i) {
    try {
      threads.emplace_back(read_parts);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones there read the rest
    }
  }
  read_parts();
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (const std::exception_ptr& failure : failures) {
    if (failure) {
      std::rethrow_exception(failure);
    }
  }
  if (std::find(opened.begin(), opened.end(), 0) != opened.end()) {
    return false;
  }
  std::uint64_t lines_before = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (log != nullptr) {
      logs[i].shift_lines(lines_before);
      log->append(std::move(logs[i]));
    }
    if (record_lines != nullptr) {
      for (record_origin origin : lines[i]) {
        origin.map_line += lines_before;
        record_lines->push_back(origin);
      }
    }
    lines_before += line_counts[i];
  }
  return true;
}
