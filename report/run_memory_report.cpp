#include "report/run_memory_report.h"

#include <iomanip>

#include "report/result_file.h"
#include "text/number_format.h"

namespace {
void print_totals(std::ostream& out, const c_memory_def& definition, const memory_totals& totals) {
  out << std::right << std::fixed << std::setprecision(2);
  out << "************************************" << std::endl;
  out << "*       Vemora Memory Report       *" << std::endl;
  out << "*       In [Byte]                  *" << std::endl;
  out << "*       With 8-Bit / Byte          *" << std::endl;
  out << "************************************" << std::endl;
  out << std::endl;
  out << "Average module, Mem area: ";
  write_quotient(out, totals.memory_floating_sum, static_cast<double>(totals.memory_records), 7);
  out << std::endl;
  out << "Average module, Prg area: ";
  write_quotient(out, totals.program_floating_sum, static_cast<double>(totals.program_records), 7);
  out << std::endl;
  out << std::endl;
  out << "Mem area used: ";
  write_int(out, totals.memory_bytes, 7);
  out << std::endl;
  out << "Bit area used: ";
  write_int(out, totals.bit_count, 7);
  out << std::endl;
  out << "Prg area used: ";
  write_int(out, totals.program_bytes, 7);
  out << std::endl;
  out << std::endl;

  out << "Memory area:" << std::endl;
  out << "Total:    ";
  write_int(out, totals.memory_total, 9);
  out << std::endl;
  out << "Pct Used: ";
  write_quotient(out, totals.memory_used_rounded() * 100.0, totals.memory_total, 12);
  out << "%" << std::endl;
  out << "Free:     ";
  write_fix(out, totals.memory_total - totals.memory_used(), 12);
  out << std::endl;
  out << "Used:     ";
  write_fix(out, totals.memory_used(), 12);
  out << std::endl;
  out << std::endl;

  out << "Program area:" << std::endl;
  out << "Total:    ";
  write_int(out, totals.program_total, 9);
  out << std::endl;
  out << "Pct Used: ";
  write_quotient(out, totals.program_bytes * 100.0, totals.program_total, 12);
  out << "%" << std::endl;
  out << "Free:     ";
  write_fix(out, static_cast<double>(totals.program_total) - totals.program_bytes, 12);
  out << std::endl;
  out << "Used:     ";
  write_fix(out, totals.program_bytes, 12);
  out << std::endl;
  out << std::endl;
  out << std::endl;

  for (std::size_t i = 0; i < definition.program_ranges.size(); ++i) {
    const std::uint32_t size = definition.program_ranges[i].size;
    const std::uint32_t used = totals.seg_used[i];
    out << "  Prg seg";
    write_int(out, static_cast<std::int64_t>(i));
    out << ":   "
        << "  Used  ";
    write_int(out, used, 7);
    // Signed, so that an overfull range shows how much it is over.
    out << ", Free  ";
    write_int(out, std::int64_t{size} - used, 7);
    out << ", Total ";
    write_int(out, size, 7);
    out << ", Pct Used ";
    write_quotient(out, used * 100.0, size, 7);
    out << "%" << std::endl;
  }
  out << std::endl;
}
}  // namespace

void print_breakdown(std::ostream& out, const search_breakdown& breakdown,
                     std::uint32_t program_bytes, const std::string& map_file_path,
                     const std::vector<std::string>& inputs, bool write_result_file) {
  const double program = program_bytes;
  out << "Program breakdown:" << std::endl;
  for (const search_breakdown::entry& entry : breakdown.entries) {
    write_int(out, entry.total, 7);
    out << " : ";
    write_quotient(out, entry.total * 100.0, program, 7);
    out << "%"
        << " , Search = " << entry.text << std::endl;
  }
  out << "---------------------------------------" << std::endl;
  write_int(out, breakdown.accounted);
  out << "\tAccounted for in search: ";
  write_quotient(out, breakdown.accounted * 100.0, program);
  out << "%" << std::endl;
  out << std::endl;

  if (breakdown.ambiguous.empty()) {
    return;
  }
  const std::string path = search_accounting::result_file_path(map_file_path);
  std::vector<std::string> protected_files = inputs;
  protected_files.push_back(map_file_path);
  const bool written = !write_result_file || ::write_result_file(breakdown, path, protected_files);
  out << "Warning: Ambiguous search with ";
  write_int(out, breakdown.ambiguous_bytes);
  out << " = ";
  write_quotient(out, breakdown.ambiguous_bytes * 100.0, program);
  out << "% found and removed from multiple counting. See ambiguous search result file in " << path
      << "." << std::endl;
  if (!written) {
    out << "Vemora:\tCould not write the ambiguous search result file " << path << "." << std::endl;
  }
  out << std::endl;
}

bool print_memory_report(const memory_analysis& analysis, std::ostream& out,
                         const std::string& map_file_path,
                         const std::vector<std::string>& protected_inputs, bool write_result_file) {
  if (analysis.failure.failed()) {
    for (const std::string& message : analysis.failure.messages) {
      out << message << std::endl;
    }
    return false;
  }
  if (!analysis.has_sections) {
    return true;
  }
  print_totals(out, analysis.definition, analysis.totals);
  if (!analysis.searches.empty()) {
    print_breakdown(out, analysis.breakdown, analysis.totals.program_bytes, map_file_path,
                    protected_inputs, write_result_file);
  }
  return true;
}

bool run_memory_report(std::string map_file_path, std::string definition_path,
                       std::string type_keyword, std::ostream& out,
                       const std::vector<std::string>& other_inputs) {
  analysis_request request;
  request.type_keyword = std::move(type_keyword);
  request.definition_path = definition_path;
  request.map_path = map_file_path;
  const memory_analysis analysis = analyse_memory(request);
  std::vector<std::string> inputs = {definition_path};
  inputs.insert(inputs.end(), other_inputs.begin(), other_inputs.end());
  return print_memory_report(analysis, out, map_file_path, inputs);
}
