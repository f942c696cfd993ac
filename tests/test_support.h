// Helpers shared by the tests: a scoped temporary folder (kept when a test
// fails, so its files can be looked at), small file helpers, and records and
// SEARCH entries made for a test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "mapfile/section_name_pool.h"
#include "mapfile/section_record.h"
#include "memdef/search_entry.h"

namespace test_support {

/// Each test's records take their names from a pool of the test's own.
class names_of_one_run : public ::testing::Test {
 protected:
  section_record program_record(const std::string& name, std::uint32_t size) {
    section_record record;
    record.name = section_name(name, m_names);
    record.size = size;
    record.range_index = 0;
    return record;
  }

  section_name_pool m_names;
};

/// SEARCH entries from their argument texts, in order.
search_list entries(const std::vector<std::string>& texts);

/// A fresh folder below the system's temporary folder; removed on
/// destruction unless the current test has failed.
class scoped_temp_dir {
 public:
  scoped_temp_dir();
  ~scoped_temp_dir();
  scoped_temp_dir(const scoped_temp_dir&) = delete;
  scoped_temp_dir& operator=(const scoped_temp_dir&) = delete;

  const std::string& path() const { return m_path; }
  /// path() + "/" + name
  std::string file(const std::string& name) const;
  /// Writes bytes to a file in the folder (binary) and returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;

 private:
  std::string m_path;
};

/// Changes the working directory for one test and restores it afterwards.
class scoped_working_dir {
 public:
  explicit scoped_working_dir(const std::filesystem::path& path);
  ~scoped_working_dir();
  scoped_working_dir(const scoped_working_dir&) = delete;
  scoped_working_dir& operator=(const scoped_working_dir&) = delete;

 private:
  std::filesystem::path m_previous;
};

/// Whole file as bytes; empty when it cannot be read.
std::string read_file(const std::string& path);

/// The names in a folder, sorted.
std::vector<std::string> names_in(const std::string& folder);

/// Whether a file exists.
bool file_exists(const std::string& path);

/// The source tree (for tests/golden and examples).
std::string source_dir();

/// Turns CR LF into LF (text written by a Windows build).
std::string normalize_line_ends(const std::string& text);

}  // namespace test_support
