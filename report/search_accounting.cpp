#include "report/search_accounting.h"

#include <filesystem>
#include <fstream>
#include <utility>

#include "report/number_format.h"

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

void search_accounting::expect_records(std::size_t count) {
  if (!m_searches.empty()) {
    m_ambiguous.reserve(count);
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
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (std::filesystem::equivalent(path, input, ec)) {
      return false;
    }
  }
  // A result file from an earlier run is written over in place and then cut
  // to its new length. Cutting a large file to nothing first costs more than
  // writing it: the file system frees every block, allocates them anew, and
  // some (ext4) then write the new contents out to disk when the file is
  // closed, to protect them from a crash.
  std::error_code error;
  std::fstream file;
  if (std::filesystem::is_regular_file(path, error)) {
    file.open(path, std::ios::in | std::ios::out);
  }
  if (!file.is_open()) {
    file.open(path, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
      return false;
    }
  }
  // Lines are gathered into large blocks: a listing with many sections of
  // one name can make hundreds of thousands of them.
  std::string block;
  for (const ambiguous_match& match : m_ambiguous) {
    block += m_states[match.state].lines[match.match];
    if (block.size() >= (1u << 20)) {
      file.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  file.write(block.data(), static_cast<std::streamsize>(block.size()));
  // In text mode a line end may take two bytes: the length is where the
  // writing ended, not the characters written.
  const std::streamoff length = file.tellp();
  file.close();
  if (file.fail() || length < 0) {
    return false;
  }
  std::filesystem::resize_file(path, static_cast<std::uintmax_t>(length), error);
  return !error;
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
  std::vector<std::string> protected_files = inputs;
  protected_files.push_back(map_file_path);
  const bool written = write_result_file(path, protected_files);
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
