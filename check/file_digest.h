// The size and sha256 of an input file, for the report's record of what it
// read. The hash comes from the system's own library behind one sibling source
// per platform (libcrypto on Linux, BCrypt on Windows): no hash of our own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct file_digest {
  std::uint64_t bytes = 0;
  std::string sha256;  ///< 64 lower-case hexadecimal digits
};

namespace platform {

/// Hashes bytes as they come; one object per text or file.
class c_sha256 {
 public:
  c_sha256();
  ~c_sha256();
  c_sha256(const c_sha256&) = delete;
  c_sha256& operator=(const c_sha256&) = delete;

  /// False once the library refused a step; the digest is then not given.
  bool update(const void* data, std::size_t size);
  /// The digest in lower-case hexadecimal, or none when a step failed.
  std::optional<std::string> finish();

 private:
  struct state;
  state* m_state;
  bool m_ok;
};

}  // namespace platform

/// The sha256 of text held in memory; none when the library fails.
std::optional<std::string> sha256_of_text(std::string_view text);

/// The size and sha256 of a file; none when it cannot be opened or read.
std::optional<file_digest> digest_file(const std::string& path);
