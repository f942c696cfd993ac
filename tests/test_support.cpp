#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace test_support {

scoped_temp_dir::scoped_temp_dir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  const fs::path dir = fs::temp_directory_path() /
                       ("vemora_test_" + std::to_string(stamp) + "_" + std::to_string(counter++));
  fs::create_directories(dir);
  m_path = dir.generic_string();
}

scoped_temp_dir::~scoped_temp_dir() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  if (info != nullptr && info->result() != nullptr && info->result()->Failed()) {
    std::cerr << "keeping test folder " << m_path << "\n";
    return;
  }
  std::error_code ec;
  fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(m_path, ec);
}

std::string scoped_temp_dir::file(const std::string& name) const { return m_path + "/" + name; }

std::string scoped_temp_dir::write(const std::string& name, const std::string& bytes) const {
  const std::string path = file(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return path;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string source_dir() { return VEMORA_SOURCE_DIR; }

std::string normalize_line_ends(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    }
    result += text[i];
  }
  return result;
}

search_list entries(const std::vector<std::string>& texts) {
  search_list list;
  for (const std::string& text : texts) {
    list.emplace_back(text);
  }
  return list;
}

scoped_working_dir::scoped_working_dir(const fs::path& path) : m_previous(fs::current_path()) {
  fs::current_path(path);
}

scoped_working_dir::~scoped_working_dir() {
  std::error_code ec;  // a destructor must not throw
  fs::current_path(m_previous, ec);
}

}  // namespace test_support
