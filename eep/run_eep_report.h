// The EEP size report: how much of the EEPROM's once-stored and
// triple-stored data the project uses. Triple values count three times in
// every amount, but not inside the triple percentage.
#pragma once

#include <ostream>
#include <string>

#include "eep/c_eep_file.h"

struct eep_totals {
  std::uint32_t overall_total = 0;
  std::uint32_t overall_used = 0;
  std::uint32_t overall_free = 0;
  std::uint32_t once_total = 0;
  std::uint32_t triple_total = 0;
  std::uint32_t triple_used = 0;
  std::uint32_t triple_free = 0;
};

/// The report's amounts, in unsigned 32-bit arithmetic that wraps.
eep_totals compute_eep_totals(const eep_sizes& sizes);

/// Prints the report in the stream's current floating format; true when it
/// was printed, false after a failure message.
bool run_eep_report(std::string file_name, std::ostream& out);
