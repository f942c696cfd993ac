// SHA-256 of bytes in memory or of a file, for the identities of a report's
// inputs. The library carries its own small implementation so that it needs
// no crypto library: vemora-check takes the system's, the library stays free
// of that dependency.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vemora::detail {

class sha256 {
 public:
  sha256();
  void add(const void* data, std::size_t size);
  /// The digest as 64 lower-case hexadecimal digits; the object is used up.
  std::string finish_hex();

 private:
  void compress(const unsigned char* block);

  std::array<std::uint32_t, 8> m_state;
  std::array<unsigned char, 64> m_block{};
  std::size_t m_filled = 0;
  std::uint64_t m_total = 0;
};

std::string sha256_hex(std::string_view bytes);

/// The digest of a whole file and its size; none when it cannot be read.
struct file_digest_result {
  std::uint64_t bytes = 0;
  std::string sha256;
};
std::optional<file_digest_result> sha256_of_file(const std::string& path);

}  // namespace vemora::detail
