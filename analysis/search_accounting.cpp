#include "analysis/search_accounting.h"

search_accounting::search_accounting(search_list& searches)
    : m_searches(searches), m_entry_bytes(searches.size(), 0), m_entry_sections(searches.size()) {}

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

void search_accounting::expect_records(std::size_t count) {
  if (!m_searches.empty()) {
    // Overlapping entries often match a name twice; more than that is rare.
    m_ambiguous.reserve(2 * count);
  }
}

void search_accounting::account(const section_record& record) {
  const std::uint32_t section = m_accounted++;
  if (m_searches.empty()) {
    return;  // nothing can claim a name
  }
  const std::uint32_t index = state_of(record.name);
  name_state& state = m_states[index];
  for (const std::uint32_t entry : state.matching_entries) {
    if (state.claimed_by != k_unclaimed) {
      m_ambiguous.push_back({record.name, section, entry, state.claimed_by, record.size});
      m_ambiguous_bytes += record.size;
    } else {
      state.claimed_by = entry;
      m_claims.push_back(index);
      m_searches[entry].add_size(record.size);
      if (m_searches[entry].valid) {
        m_entry_bytes[entry] += record.size;
        m_entry_sections[entry].push_back(section);
      }
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
  for (const ambiguous_match_record& match : m_ambiguous) {
    hits.push_back({match.name.str(), m_searches[match.entry].display_text(),
                    m_searches[match.claimed_by].display_text()});
  }
  return hits;
}

search_breakdown search_accounting::breakdown() const& {
  search_breakdown result = entries_breakdown();
  result.ambiguous = m_ambiguous;
  return result;
}

search_breakdown search_accounting::breakdown() && {
  search_breakdown result = entries_breakdown();
  result.ambiguous = std::move(m_ambiguous);
  m_ambiguous.clear();
  return result;
}

search_breakdown search_accounting::entries_breakdown() const {
  search_breakdown result;
  for (std::size_t i = 0; i < m_searches.size(); ++i) {
    const search_entry& searched = m_searches[i];
    search_breakdown::entry& entry = result.entries.emplace_back();
    entry.text = searched.display_text();
    entry.all_terms = searched.all_terms;
    entry.any_terms = searched.any_terms;
    entry.none_terms = searched.none_terms;
    entry.valid = searched.valid;
    entry.total = searched.total;
    entry.bytes = m_entry_bytes[i];
    entry.sections = m_entry_sections[i];
    result.accounted += searched.total;
    result.accounted_exact += entry.bytes;
  }
  result.ambiguous_bytes = ambiguous_bytes();
  result.ambiguous_bytes_exact = m_ambiguous_bytes;
  return result;
}

std::string search_accounting::result_file_path(const std::string& map_file_path) {
  const std::size_t separator = map_file_path.find_last_of("\\/");
  if (separator == std::string::npos) {
    return "Vemora.amb";
  }
  return map_file_path.substr(0, separator + 1) + "Vemora.amb";
}
