// Number output shared by the memory report and the EEP size report. The
// reports divide without a guard; a quotient with divisor 0 is written the
// same way on every platform: 0 / 0 as the number 0, x / 0 as "inf".
#pragma once

#include <cstdint>
#include <ostream>

/// An unsigned (or signed) integer right-aligned in width characters; width 0
/// means no fill.
void write_int(std::ostream& out, std::int64_t value, int width = 0);

/// A double in the stream's current floating format, right-aligned in width.
void write_fix(std::ostream& out, double value, int width = 0);

/// numerator / denominator in the stream's current floating format; a zero
/// denominator gives 0 (for 0 / 0) or "inf", right-aligned like a number.
void write_quotient(std::ostream& out, double numerator, double denominator, int width = 0);
