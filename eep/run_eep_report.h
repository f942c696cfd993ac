// The EEP size report: how much of the EEPROM's once-stored and
// triple-stored data the project uses, printed from the EEPROM side of an
// analysis in the stream's current floating format.
#pragma once

#include <ostream>
#include <string>

#include "analysis/analysis.h"

/// Prints the analysis' failure messages (false) or the report (true).
bool print_eep_report(const eep_analysis& analysis, std::ostream& out);

/// Reads the EEPROM source and prints the report; true when it was printed,
/// false after a failure message.
bool run_eep_report(std::string file_name, std::ostream& out);
