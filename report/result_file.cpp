#include "report/result_file.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "text/file_system.h"

namespace {
/// A name beside path that no other run picks at the same time.
std::string temporary_name(const std::string& path) {
  std::random_device random;
  const auto mark = (std::uint64_t{random()} << 32) | random();
  constexpr const char* k_digits = "0123456789abcdef";
  std::string name = path + ".";
  for (int shift = 60; shift >= 0; shift -= 4) {
    name += k_digits[(mark >> shift) & 0xF];
  }
  return name + ".tmp";
}
}  // namespace

void render_result_file(const search_breakdown& breakdown, std::ostream& out) {
  for (const ambiguous_match_record& match : breakdown.ambiguous) {
    out << match.name.str() << ": Found in [ " << breakdown.entries[match.entry].text
        << "] and in [ " << breakdown.entries[match.claimed_by].text << "]\n";
  }
}

bool replace_file_with(const std::string& path, const std::vector<std::string>& inputs,
                       const std::function<void(std::ostream&)>& write) {
  for (const std::string& input : inputs) {
    std::error_code error;
    if (std::filesystem::equivalent(path, input, error)) {
      return false;
    }
  }
  const std::string temporary = temporary_name(path);
  bool written = false;
  {
    // Text mode, as the file was always written: line ends as the system
    // writes them.
    std::ofstream file(temporary, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
      return false;
    }
    try {
      write(file);
      file.close();
      written = !file.fail();
    } catch (...) {
      written = false;
    }
  }
  if (written && replace_file(temporary, path)) {
    return true;
  }
  std::error_code error;
  std::filesystem::remove(temporary, error);
  return false;
}

bool write_result_file(const search_breakdown& breakdown, const std::string& path,
                       const std::vector<std::string>& inputs) {
  return replace_file_with(path, inputs,
                           [&breakdown](std::ostream& out) { render_result_file(breakdown, out); });
}
