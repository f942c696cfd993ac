#include "report/search_accounting.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "text/number_format.h"

namespace {
/// Lines are handed to the result file in blocks of about this size.
constexpr std::size_t k_block_bytes = std::size_t{1} << 18;
}  // namespace

search_accounting::search_accounting(search_list& searches) : m_searches(searches) {}

search_accounting::~search_accounting() = default;

std::uint32_t search_accounting::state_of(section_name name) {
  // Names are small dense numbers, so a name's state is found by indexing.
  if (name.id() >= m_state_by_name.size()) {
    m_state_by_name.resize(name.id() + 1, 0);
  }
  std::uint32_t& slot = m_state_by_name[name.id()];
  if (slot == 0) {
    name_state& state = m_states.emplace_back();
    state.name = name;
    for (std::uint32_t i = 0; i < m_searches.size(); ++i) {
      if (m_searches[i].matches(name)) {
        state.matching_entries.push_back(i);
      }
    }
    slot = static_cast<std::uint32_t>(m_states.size());
  }
  return slot - 1;
}

void search_accounting::make_lines(name_state& state) const {
  const std::string& earlier = m_searches[state.claimed_by].display_text();
  for (const std::uint32_t entry : state.matching_entries) {
    state.lines.push_back(state.name.str() + ": Found in [ " + m_searches[entry].display_text() +
                          "] and in [ " + earlier + "]\n");
  }
}

void search_accounting::write_result_file_early(const std::string& map_file_path,
                                                const std::vector<std::string>& inputs) {
  m_early_writer = std::make_unique<result_file_writer>(
      result_file_path(map_file_path), protected_files(map_file_path, inputs), true);
}

void search_accounting::add_early_line(const std::string& line) {
  // The block is filled by plain copies up to its size, which it keeps:
  // hundreds of thousands of short appends that each check for room and
  // may grow the text would cost more than the writing.
  if (m_early_used + line.size() > m_early_block.size()) {
    if (m_early_used > 0) {
      hand_over_early_block();
    }
    if (m_early_block.size() < std::max(k_block_bytes, line.size())) {
      m_early_block.resize(std::max(k_block_bytes, line.size()));
    }
  }
  std::memcpy(&m_early_block[m_early_used], line.data(), line.size());
  m_early_used += line.size();
}

void search_accounting::hand_over_early_block() const {
  m_early_block.resize(m_early_used);
  m_early_used = 0;
  m_early_writer->add(m_early_block);
}

std::vector<std::string> search_accounting::protected_files(
    const std::string& map_file_path, const std::vector<std::string>& inputs) {
  std::vector<std::string> files = inputs;
  files.push_back(map_file_path);
  return files;
}

void search_accounting::expect_records(std::size_t count) {
  if (!m_searches.empty()) {
    // Overlapping entries often match a name twice; more than that is rare.
    m_ambiguous.reserve(2 * count);
  }
}

void search_accounting::account(const section_record& record) {
  if (m_searches.empty()) {
    return;  // nothing can claim a name
  }
  const std::uint32_t index = state_of(record.name);
  name_state& state = m_states[index];
  for (std::uint32_t match = 0; match < state.matching_entries.size(); ++match) {
    if (state.claimed_by != k_unclaimed) {
      if (state.lines.empty()) {
        make_lines(state);
      }
      m_ambiguous.push_back({index, match});
      m_ambiguous_bytes += record.size;
      if (m_early_writer) {
        add_early_line(state.lines[match]);
      }
    } else {
      state.claimed_by = state.matching_entries[match];
      m_claims.push_back(index);
      m_searches[state.claimed_by].add_size(record.size);
    }
  }
}

std::vector<search_hit> search_accounting::claimed_list() const {
  std::vector<search_hit> hits;
  for (const std::uint32_t index : m_claims) {
    const name_state& state = m_states[index];
    hits.push_back({state.name.str(), m_searches[state.claimed_by].display_text(), std::string()});
  }
  return hits;
}

std::vector<search_hit> search_accounting::ambiguous_list() const {
  std::vector<search_hit> hits;
  for (const ambiguous_match& match : m_ambiguous) {
    const name_state& state = m_states[match.state];
    hits.push_back({state.name.str(),
                    m_searches[state.matching_entries[match.match]].display_text(),
                    m_searches[state.claimed_by].display_text()});
  }
  return hits;
}

std::string search_accounting::result_file_path(const std::string& map_file_path) {
  const std::size_t separator = map_file_path.find_last_of("\\/");
  if (separator == std::string::npos) {
    return "Vemora.amb";
  }
  return map_file_path.substr(0, separator + 1) + "Vemora.amb";
}

bool search_accounting::write_result_file(const std::string& path,
                                          const std::vector<std::string>& inputs) const {
  result_file_writer writer(path, inputs, false);
  // Lines are gathered into large blocks: a listing with many sections of
  // one name can make hundreds of thousands of them.
  std::string block;
  for (const ambiguous_match& match : m_ambiguous) {
    block += m_states[match.state].lines[match.match];
    if (block.size() >= k_block_bytes) {
      writer.add(block);
      block.clear();
    }
  }
  writer.add(block);
  return writer.finish();
}

void search_accounting::print_breakdown(std::ostream& out, std::uint32_t program_bytes,
                                        const std::string& map_file_path,
                                        const std::vector<std::string>& inputs) const {
  const double program = program_bytes;
  out << "Program breakdown:" << std::endl;
  std::uint32_t accounted = 0;
  for (const search_entry& entry : m_searches) {
    write_int(out, entry.total, 7);
    out << " : ";
    write_quotient(out, entry.total * 100.0, program, 7);
    out << "%"
        << " , Search = " << entry.display_text() << std::endl;
    accounted += entry.total;
  }
  out << "---------------------------------------" << std::endl;
  write_int(out, accounted);
  out << "\tAccounted for in search: ";
  write_quotient(out, accounted * 100.0, program);
  out << "%" << std::endl;
  out << std::endl;

  if (m_ambiguous.empty()) {
    return;
  }
  const std::string path = result_file_path(map_file_path);
  bool written = false;
  if (m_early_writer) {
    hand_over_early_block();
    written = m_early_writer->finish();
  } else {
    written = write_result_file(path, protected_files(map_file_path, inputs));
  }
  out << "Warning: Ambiguous search with ";
  write_int(out, m_ambiguous_bytes);
  out << " = ";
  write_quotient(out, m_ambiguous_bytes * 100.0, program);
  out << "% found and removed from multiple counting. See ambiguous search result file in " << path
      << "." << std::endl;
  if (!written) {
    out << "Vemora:\tCould not write the ambiguous search result file " << path << "." << std::endl;
  }
  out << std::endl;
}
