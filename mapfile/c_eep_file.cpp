#include "mapfile/c_eep_file.h"

#include "text/hex_number.h"

namespace {
constexpr int k_max_empty_reads = 20;

bool names_value(std::string_view line, std::string_view name) {
  return line.find(name) != std::string_view::npos && line.find(',') == std::string_view::npos;
}
}  // namespace

std::uint32_t c_eep_file::convert_value(std::string_view value_line) {
  if (value_line.size() <= 5) {
    return 0;
  }
  const std::string_view text = value_line.substr(4, value_line.size() - 5);
  const hex_scan scan = scan_hex(text, 0, true);
  if (!scan.has_digits) {
    return 0;
  }
  // Clamped like strtoul: too large is the largest value, whatever the sign.
  if (scan.overflow) {
    return 0xFFFFFFFF;
  }
  return scan.negative ? 0u - scan.value : scan.value;
}

bool c_eep_file::read_sizes(eep_sizes& sizes, std::ostream& out) {
  sizes = eep_sizes{};
  if (!is_open) {
    return false;
  }
  struct wanted {
    std::string_view name;
    std::uint32_t* value;
  };
  const wanted names[] = {
      {"_RuxEep_nOnceDataSize", &sizes.once_data_size},
      {"_RuxEep_nTrippleDataSize", &sizes.triple_data_size},
      {"_RuxEep_nOnceDataFree", &sizes.once_data_free},
      {"_RuxEep_nTrippleDataFree", &sizes.triple_data_free},
  };
  const auto lines_ran_out = [&out]() {
    out << "File end" << std::endl;
    return false;
  };

  std::string_view line;
  stream.next(line);  // the first line is never tested
  for (;;) {
    int empty_reads = 0;
    for (;;) {
      // Past the end of the file every read is an empty one.
      if (stream.next(line) && !line.empty()) {
        break;
      }
      if (++empty_reads == k_max_empty_reads) {
        return lines_ran_out();
      }
    }
    for (const wanted& entry : names) {
      if (!names_value(line, entry.name)) {
        continue;
      }
      if (!stream.next(line)) {
        return lines_ran_out();
      }
      *entry.value = convert_value(line);
      if (entry.value == &sizes.triple_data_free) {
        return true;
      }
    }
  }
}
