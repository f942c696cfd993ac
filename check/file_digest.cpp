#include "check/file_digest.h"

#include <array>
#include <fstream>

std::optional<std::string> sha256_of_text(std::string_view text) {
  platform::c_sha256 hash;
  if (!hash.update(text.data(), text.size())) {
    return std::nullopt;
  }
  return hash.finish();
}

std::optional<file_digest> digest_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  platform::c_sha256 hash;
  file_digest digest;
  std::array<char, 64 * 1024> buffer{};
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize got = in.gcount();
    if (got > 0) {
      if (!hash.update(buffer.data(), static_cast<std::size_t>(got))) {
        return std::nullopt;
      }
      digest.bytes += static_cast<std::uint64_t>(got);
    }
  }
  // End of file sets failbit too; badbit alone means the reading broke off
  // (a folder opened as a file ends up here on Linux).
  if (in.bad()) {
    return std::nullopt;
  }
  std::optional<std::string> hex = hash.finish();
  if (!hex) {
    return std::nullopt;
  }
  digest.sha256 = std::move(*hex);
  return digest;
}
