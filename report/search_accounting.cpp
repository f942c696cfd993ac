#include "report/search_accounting.h"

#include <fstream>

#include "report/number_format.h"

void search_accounting::account(const section_record& record) {
  for (search_entry& entry : m_searches) {
    if (!entry.matches(record.name)) {
      continue;
    }
    const auto claimed = m_claimed_index.find(record.name);
    if (claimed != m_claimed_index.end()) {
      m_ambiguous_list.push_back(
          {record.name, entry.display_text(), m_claimed_list[claimed->second].search_text});
      m_ambiguous_bytes += record.size;
    } else {
      m_claimed_index.emplace(record.name, m_claimed_list.size());
      m_claimed_list.push_back({record.name, entry.display_text(), std::string()});
      entry.add_size(record.size);
    }
  }
}

std::string search_accounting::result_file_path(const std::string& map_file_path) {
  const std::size_t separator = map_file_path.find_last_of("\\/");
  if (separator == std::string::npos) {
    return "Vemora.amb";
  }
  return map_file_path.substr(0, separator + 1) + "Vemora.amb";
}

bool search_accounting::write_result_file(const std::string& path) const {
  std::ofstream file(path, std::ios::out | std::ios::trunc);
  if (!file.is_open()) {
    return false;
  }
  for (const search_hit& hit : m_ambiguous_list) {
    file << hit.object_name << ": Found in [ " << hit.search_text << "] and in [ "
         << hit.earlier_search_text << "]\n";
  }
  file.close();
  return !file.fail();
}

void search_accounting::print_breakdown(std::ostream& out, std::uint32_t program_bytes,
                                        const std::string& map_file_path) const {
  const double program = program_bytes;
  out << "Program breakdown:" << std::endl;
  std::uint32_t accounted = 0;
  for (const search_entry& entry : m_searches) {
    write_int(out, entry.total, 7);
    out << " : ";
    write_quotient(out, entry.total * 100.0, program, 7);
    out << "%" << " , Search = " << entry.display_text() << std::endl;
    accounted += entry.total;
  }
  out << "---------------------------------------" << std::endl;
  write_int(out, accounted);
  out << "\tAccounted for in search: ";
  write_quotient(out, accounted * 100.0, program);
  out << "%" << std::endl;
  out << std::endl;

  if (m_ambiguous_list.empty()) {
    return;
  }
  const std::string path = result_file_path(map_file_path);
  const bool written = write_result_file(path);
  out << "Warning: Ambiguous search with ";
  write_int(out, m_ambiguous_bytes);
  out << " = ";
  write_quotient(out, m_ambiguous_bytes * 100.0, program);
  out << "% found and removed from multiple counting. See ambiguous search result file in "
      << path << "." << std::endl;
  if (!written) {
    out << "Vemora:\tCould not write the ambiguous search result file " << path << "."
        << std::endl;
  }
  out << std::endl;
}
