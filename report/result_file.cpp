#include "report/result_file.h"

#include <filesystem>
#include <system_error>
#include <unordered_map>

#include "text/file_system.h"

void render_result_file(const search_breakdown& breakdown, std::ostream& out) {
  // A listing with hundreds of thousands of sections of a few names makes a
  // file of tens of megabytes from a few distinct lines: each is made once
  // (a name is claimed by one entry, so the name and the matching entry make
  // the line), and lines go out in large blocks rather than piece by piece.
  constexpr std::size_t k_block_bytes = std::size_t{1} << 18;
  std::unordered_map<std::uint64_t, std::string> lines;
  std::string block;
  block.reserve(k_block_bytes);
  for (const ambiguous_match_record& match : breakdown.ambiguous) {
    std::string& line = lines[std::uint64_t{match.name.id()} << 32 | match.entry];
    if (line.empty()) {
      line = match.name.str() + ": Found in [ " + breakdown.entries[match.entry].text +
             "] and in [ " + breakdown.entries[match.claimed_by].text + "]\n";
    }
    block += line;
    if (block.size() >= k_block_bytes) {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

bool replace_file_with(const std::string& path, const std::vector<std::string>& inputs,
                       const std::function<void(std::ostream&)>& write) {
  for (const std::string& input : inputs) {
    std::error_code error;
    if (std::filesystem::equivalent(path, input, error)) {
      return false;
    }
  }
  // Text mode, as the file was always written: line ends as the system
  // writes them.
  return write_whole_file(path, write, file_mode::text);
}

bool write_result_file(const search_breakdown& breakdown, const std::string& path,
                       const std::vector<std::string>& inputs) {
  return replace_file_with(path, inputs,
                           [&breakdown](std::ostream& out) { render_result_file(breakdown, out); });
}
