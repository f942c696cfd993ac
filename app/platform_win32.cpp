// Windows side of the platform layer: the shell path functions decide about
// drives and existence, and the banner values come from the version resource
// of the program file itself.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// windows.h first: the other Windows headers rely on its types.
#include <shlwapi.h>
#include <winver.h>

#include <algorithm>
#include <vector>

#include "app/platform.h"

namespace platform {

namespace {

// A string value of the version block; empty when the block does not hold it.
std::string query_string(std::vector<char>& block, const char* sub_block) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), sub_block, &value, &length) || value == nullptr) {
    return std::string();
  }
  // length counts characters and may include the terminating zero.
  const char* text = static_cast<const char*>(value);
  return std::string(text, std::find(text, text + length, '\0'));
}

}  // namespace

int path_drive_number(const std::string& path) { return PathGetDriveNumberA(path.c_str()); }

bool path_exists(const std::string& path) { return PathFileExistsA(path.c_str()) != FALSE; }

bool read_version_info(const std::string& program_file, version_info& info) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(program_file.c_str(), &ignored);
  if (size == 0) {
    return false;
  }
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(program_file.c_str(), 0, size, block.data())) {
    return false;
  }

  void* root = nullptr;
  UINT root_length = 0;
  if (!VerQueryValueA(block.data(), "\\", &root, &root_length) || root == nullptr ||
      root_length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(root);
  info.major = HIWORD(fixed->dwFileVersionMS);
  info.minor = LOWORD(fixed->dwFileVersionMS);
  info.legal_copyright = query_string(block, "\\StringFileInfo\\040904b0\\LegalCopyright");
  info.original_filename = query_string(block, "\\StringFileInfo\\040904b0\\OriginalFilename");
  return true;
}

}  // namespace platform
