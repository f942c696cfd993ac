#include "text/file_system.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

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

/// The file path stands for: a symbolic link is followed, so that the link
/// stays and the file it names is replaced, as writing through it would.
std::string file_behind(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
    return path;
  }
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  return error ? path : target.string();
}

/// A file that cannot be opened for writing (read-only, say) is not
/// replaced either: the rename would pass where writing into it would not.
bool may_replace(const std::string& target) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(std::filesystem::status(target, error))) {
    return true;
  }
  // Opened to append and closed at once: neither its bytes nor its time change.
  std::ofstream probe(target, std::ios::out | std::ios::app);
  return probe.is_open();
}
}  // namespace

bool write_whole_file(const std::string& path, const std::function<void(std::ostream&)>& write,
                      file_mode mode) {
  const std::string target = file_behind(path);
  if (!may_replace(target)) {
    return false;
  }
  const std::string temporary = temporary_name(target);
  bool written = false;
  {
    const std::ios::openmode open_mode =
        std::ios::out | std::ios::trunc |
        (mode == file_mode::binary ? std::ios::binary : std::ios::openmode{});
    std::ofstream file(temporary, open_mode);
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
  if (written) {
    std::error_code error;
    const std::filesystem::file_status old = std::filesystem::status(target, error);
    if (!error && std::filesystem::is_regular_file(old)) {
      std::filesystem::permissions(temporary, old.permissions(), error);
    }
  }
  if (written && replace_file(temporary, target)) {
    return true;
  }
  std::error_code error;
  std::filesystem::remove(temporary, error);
  return false;
}
