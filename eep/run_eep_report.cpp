#include "eep/run_eep_report.h"

#include "text/number_format.h"

namespace {
void write_block(std::ostream& out, const char* used_label, std::uint32_t total,
                 std::uint32_t numerator, std::uint32_t denominator, std::uint32_t used,
                 std::uint32_t free) {
  out << "  Total:     " << total << std::endl;
  out << "  Pct Used:  ";
  write_quotient(out, numerator * 100.0, static_cast<double>(denominator));
  out << "%" << std::endl;
  out << used_label << used << std::endl;
  out << "  Free:      " << free << std::endl;
}
}  // namespace

bool print_eep_report(const eep_analysis& analysis, std::ostream& out) {
  if (analysis.failure.failed()) {
    for (const std::string& message : analysis.failure.messages) {
      out << message << std::endl;
    }
    return false;
  }
  const eep_sizes& sizes = analysis.sizes;
  const eep_totals totals = compute_eep_totals(sizes);

  out << std::endl;
  out << "EEP size analyze: " << std::endl;
  out << std::endl;
  write_block(out, "  used:      ", totals.overall_total, totals.overall_used, totals.overall_total,
              totals.overall_used, totals.overall_free);
  out << std::endl;
  out << "Once Data: " << std::endl;
  write_block(out, "  Used:      ", totals.once_total, sizes.once_data_size, totals.once_total,
              sizes.once_data_size, sizes.once_data_free);
  out << std::endl;
  out << "Tripple Data:" << std::endl;
  // The triple percentage is taken on the values not multiplied by three.
  write_block(out, "  Used:      ", totals.triple_total, sizes.triple_data_size,
              sizes.triple_data_size + sizes.triple_data_free, totals.triple_used,
              totals.triple_free);
  out << std::endl;
  return true;
}

bool run_eep_report(std::string file_name, std::ostream& out) {
  return print_eep_report(analyse_eep(file_name), out);
}
