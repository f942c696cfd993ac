#include "text/number_format.h"

#include <iomanip>

void write_int(std::ostream& out, std::int64_t value, int width) {
  out << std::setw(width) << value;
}

void write_fix(std::ostream& out, double value, int width) { out << std::setw(width) << value; }

void write_quotient(std::ostream& out, double numerator, double denominator, int width) {
  if (denominator == 0.0) {
    if (numerator == 0.0) {
      out << std::setw(width) << 0.0;
    } else {
      out << std::setw(width) << (numerator < 0.0 ? "-inf" : "inf");
    }
    return;
  }
  out << std::setw(width) << numerator / denominator;
}
