#include "report/search_accounting.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "report/number_format.h"

void search_accounting::account(const section_record& record) {
  if (m_searches.empty()) {
    return;  // nothing can claim a name
  }
  auto found = m_names.find(record.name);
  if (found == m_names.end()) {
    name_state state;
    for (std::uint32_t i = 0; i < m_searches.size(); ++i) {
      if (m_searches[i].matches(record.name)) {
        state.matching_entries.push_back(i);
      }
    }
    found = m_names.emplace(record.name, std::move(state)).first;
  }
  name_state& state = found->second;
  for (const std::uint32_t entry : state.matching_entries) {
    if (state.claimed_by != k_unclaimed) {
      m_ambiguous.push_back({&found->first, &state, entry});
      m_ambiguous_bytes += record.size;
    } else {
      state.claimed_by = entry;
      m_claims.push_back(&found->first);
      m_searches[entry].add_size(record.size);
    }
  }
}

std::vector<search_hit> search_accounting::claimed_list() const {
  std::vector<search_hit> hits;
  for (const std::string* name : m_claims) {
    const name_state& state = m_names.at(*name);
    hits.push_back({*name, m_searches[state.claimed_by].display_text(), std::string()});
  }
  return hits;
}

std::vector<search_hit> search_accounting::ambiguous_list() const {
  std::vector<search_hit> hits;
  for (const ambiguous_match& match : m_ambiguous) {
    const name_state& state = *match.state;
    hits.push_back({*match.name, m_searches[match.entry].display_text(),
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
  std::ofstream file(path, std::ios::out | std::ios::trunc);
  if (!file.is_open()) {
    return false;
  }
  // Lines are gathered into large blocks: a listing with many sections of
  // one name can make hundreds of thousands of them. What follows the name
  // depends only on the two entries, so it is put together once per pair.
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::string> tails;
  std::string block;
  for (const ambiguous_match& match : m_ambiguous) {
    std::string& tail = tails[{match.entry, match.state->claimed_by}];
    if (tail.empty()) {
      tail = ": Found in [ " + m_searches[match.entry].display_text() + "] and in [ " +
             m_searches[match.state->claimed_by].display_text() + "]\n";
    }
    block += *match.name;
    block += tail;
    if (block.size() >= (1u << 20)) {
      file.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  file.write(block.data(), static_cast<std::streamsize>(block.size()));
  file.close();
  return !file.fail();
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
