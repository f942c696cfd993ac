// Fuzz target: the EEPROM project source reader and the EEP size report. The
// four values and the result must equal a plain scan of the lines (first line
// never tested, name lines without a comma, value from the next line, twenty
// empty reads end the scan), and the report must show the wrapped amounts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iomanip>
#include <sstream>
#include <string>

#include "eep/run_eep_report.h"
#include "fuzz/fuzz_support.h"
#include "mapfile/c_eep_file.h"

namespace {
using namespace fuzz_support;

std::uint32_t reference_value(const std::string& line) {
  if (line.size() <= 5) {
    return 0;
  }
  const c_hex_number number = read_c_hex(line.substr(4, line.size() - 5), 0);
  if (!number.has_digits) {
    return 0;
  }
  if (number.beyond_32_bits) {
    return 0xFFFFFFFF;
  }
  return number.negative ? 0u - number.magnitude : number.magnitude;
}

// Returns whether the last value was read; sizes holds what was read.
bool reference_scan(std::string_view bytes, eep_sizes& sizes) {
  const std::vector<text_line> lines = split_lines(bytes, 511);
  std::size_t next = 1;  // the first line is never tested
  const auto read = [&lines, &next]() {
    const std::size_t k = next++;
    return k < lines.size() ? lines[k].text : std::string();
  };
  const char* names[] = {"_RuxEep_nOnceDataSize", "_RuxEep_nTrippleDataSize",
                         "_RuxEep_nOnceDataFree", "_RuxEep_nTrippleDataFree"};
  std::uint32_t* values[] = {&sizes.once_data_size, &sizes.triple_data_size, &sizes.once_data_free,
                             &sizes.triple_data_free};
  for (;;) {
    std::string line;
    int empty_reads = 0;
    while ((line = read()).empty()) {
      if (++empty_reads == 20) {
        return false;
      }
    }
    for (int i = 0; i < 4; ++i) {
      if (line.find(names[i]) == std::string::npos || line.find(',') != std::string::npos) {
        continue;
      }
      if (next >= lines.size()) {
        return false;  // no value line at all
      }
      line = read();
      *values[i] = reference_value(line);
      if (i == 3) {
        return true;
      }
    }
  }
}

std::string percentage(std::uint32_t numerator, std::uint32_t denominator) {
  if (denominator == 0) {
    return numerator == 0 ? "0.00" : "inf";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", numerator * 100.0 / denominator);
  return text;
}

std::string block(const char* used_label, std::uint32_t total, std::uint32_t numerator,
                  std::uint32_t denominator, std::uint32_t used, std::uint32_t free) {
  return "  Total:     " + std::to_string(total) +
         "\n  Pct Used:  " + percentage(numerator, denominator) + "%\n" + used_label +
         std::to_string(used) + "\n  Free:      " + std::to_string(free) + "\n";
}

std::string expected_report(const eep_sizes& s) {
  const std::uint32_t o = s.once_data_size;
  const std::uint32_t t = s.triple_data_size;
  const std::uint32_t p = s.once_data_free;
  const std::uint32_t q = s.triple_data_free;
  const std::uint32_t total = o + p + 3 * (t + q);
  const std::uint32_t used = o + 3 * t;
  return "\nEEP size analyze: \n\n" + block("  used:      ", total, used, total, used, p + 3 * q) +
         "\nOnce Data: \n" + block("  Used:      ", o + p, o, o + p, o, p) + "\nTripple Data:\n" +
         block("  Used:      ", 3 * (t + q), t, t + q, 3 * t, 3 * q) + "\n";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = write_scratch("EepPrj.src", bytes);

  eep_sizes expected;
  const bool expected_ok = reference_scan(bytes, expected);

  eep_sizes sizes;
  std::ostringstream scan_out;
  bool ok = false;
  {
    c_eep_file reader(path);
    FUZZ_CHECK(reader.is_open);
    ok = reader.read_sizes(sizes, scan_out);
  }
  FUZZ_CHECK(ok == expected_ok);
  FUZZ_CHECK(sizes.once_data_size == expected.once_data_size);
  FUZZ_CHECK(sizes.triple_data_size == expected.triple_data_size);
  FUZZ_CHECK(sizes.once_data_free == expected.once_data_free);
  FUZZ_CHECK(sizes.triple_data_free == expected.triple_data_free);
  FUZZ_CHECK(scan_out.str() == (ok ? "" : "File end\n"));

  // As after a printed memory report: fixed notation, two decimals.
  std::ostringstream report;
  report << std::right << std::fixed << std::setprecision(2);
  const bool reported = run_eep_report(path, report);
  FUZZ_CHECK(reported == expected_ok);
  if (reported) {
    FUZZ_CHECK(report.str() == expected_report(expected));
  } else {
    FUZZ_CHECK(report.str() == "File end\nerror in the analyze EEP size: \n");
  }
  FUZZ_CHECK(read_whole_file(path) == bytes);
  return 0;
}
