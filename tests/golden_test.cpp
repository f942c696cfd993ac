// Whole-report tests: every folder below tests/golden is one run of the tool with
// its command line, its input files and what the run must produce (tests/golden/README.md).
// Each case runs in-process in a scratch copy of its folder, so input files can be
// checked byte for byte afterwards and nothing but the result file may appear.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/run_app.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

// Files of a case folder that steer the runner; they are not copied into the run folder.
const char* const k_control_files[] = {
    "cmd",          "expected_stdout.txt", "expected_exit_code.txt",
    "expected.amb", "preexisting.amb",     "dirs"};

const char* const k_result_file_name = "Vemora.amb";

fs::path golden_root() { return fs::path(test_support::source_dir()) / "tests" / "golden"; }

std::vector<std::string> golden_case_names() {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(golden_root(), ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory()) {
      names.push_back(it->path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Test names may hold letters, digits and underscores only.
std::string test_name_of(const std::string& case_name) {
  std::string name = case_name;
  for (char& c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
      c = '_';
    }
  }
  return name;
}

bool is_control_file(const std::string& name) {
  return std::find(std::begin(k_control_files), std::end(k_control_files), name) !=
         std::end(k_control_files);
}

// The first line of a text file, without its line end.
std::string first_line(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  return line;
}

// The arguments of a cmd line: split at single blanks; an empty line gives none.
std::vector<std::string> split_arguments(const std::string& line) {
  std::vector<std::string> arguments;
  if (line.empty()) {
    return arguments;
  }
  std::size_t begin = 0;
  for (;;) {
    const std::size_t blank = line.find(' ', begin);
    arguments.push_back(line.substr(begin, blank - begin));
    if (blank == std::string::npos) {
      return arguments;
    }
    begin = blank + 1;
  }
}

// A text file with CR LF turned into LF.
std::string read_text(const std::string& path) {
  return test_support::normalize_line_ends(test_support::read_file(path));
}

std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return std::string();
  }
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// The result file lies next to the map file (the third argument after the program name).
std::string result_file_of(const std::vector<std::string>& arguments) {
  if (arguments.size() < 3) {
    return k_result_file_name;
  }
  const std::string& map = arguments[2];
  const std::size_t separator = map.find_last_of("\\/");
  if (separator == std::string::npos) {
    return k_result_file_name;
  }
  return map.substr(0, separator + 1) + k_result_file_name;
}

struct tree_entry {
  bool is_directory = false;
  std::string bytes;

  bool operator==(const tree_entry& other) const {
    return is_directory == other.is_directory && bytes == other.bytes;
  }
};

// Every file and folder below root, by its relative path, with the files' bytes.
std::map<std::string, tree_entry> snapshot(const fs::path& root) {
  std::map<std::string, tree_entry> entries;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    tree_entry item;
    item.is_directory = entry.is_directory();
    if (!item.is_directory) {
      item.bytes = test_support::read_file(entry.path().string());
    }
    entries[fs::relative(entry.path(), root).generic_string()] = item;
  }
  return entries;
}

// Names what differs between two snapshots, one line per path.
std::string tree_changes(const std::map<std::string, tree_entry>& before,
                         const std::map<std::string, tree_entry>& after) {
  std::string changes;
  for (const auto& [path, entry] : before) {
    const auto found = after.find(path);
    if (found == after.end()) {
      changes += "removed: " + path + "\n";
    } else if (!(found->second == entry)) {
      changes += "modified: " + path + "\n";
    }
  }
  for (const auto& [path, entry] : after) {
    if (before.count(path) == 0) {
      changes += "appeared: " + path + "\n";
    }
  }
  return changes;
}

// Makes a folder the working directory for the lifetime of the object.
using test_support::scoped_working_dir;

class GoldenCase : public testing::TestWithParam<std::string> {};

TEST_P(GoldenCase, Run) {
  const fs::path source = golden_root() / GetParam();
  const auto source_file = [&source](const char* name) { return (source / name).string(); };
  for (const char* required : {"cmd", "expected_stdout.txt", "expected_exit_code.txt"}) {
    ASSERT_TRUE(test_support::file_exists(source_file(required)))
        << "case " << GetParam() << " lacks " << required;
  }

  // The run folder: the case's input files, the folders it asks for, an old result file.
  test_support::scoped_temp_dir run_dir;
  const fs::path run_root(run_dir.path());
  for (const fs::directory_entry& entry : fs::directory_iterator(source)) {
    if (!is_control_file(entry.path().filename().string())) {
      fs::copy(entry.path(), run_root / entry.path().filename(), fs::copy_options::recursive);
    }
  }
  if (test_support::file_exists(source_file("dirs"))) {
    std::istringstream dirs(test_support::read_file(source_file("dirs")));
    for (std::string line; std::getline(dirs, line);) {
      line = trim(line);
      if (!line.empty()) {
        fs::create_directories(run_root / line);
      }
    }
  }

  std::vector<std::string> arguments =
      split_arguments(first_line(test_support::read_file(source_file("cmd"))));
  // "@name" stands for a name that must not exist.
  for (std::string& argument : arguments) {
    if (!argument.empty() && argument[0] == '@') {
      argument.erase(0, 1);
      ASSERT_FALSE(fs::exists(run_root / argument)) << argument << " must not exist";
    }
  }
  const std::string result_file = result_file_of(arguments);
  const bool has_preexisting = test_support::file_exists(source_file("preexisting.amb"));
  if (has_preexisting) {
    fs::copy_file(source_file("preexisting.amb"), run_root / result_file);
  }
  const auto before = snapshot(run_root);

  std::vector<const char*> argv{"vemora"};
  for (const std::string& argument : arguments) {
    argv.push_back(argument.c_str());
  }
  std::ostringstream out;
  int exit_code = 0;
  {
    scoped_working_dir in_run_dir(run_root);
    exit_code = run_app(static_cast<int>(argv.size()), argv.data(), out);
  }

  EXPECT_EQ(std::stoi(trim(read_text(source_file("expected_exit_code.txt")))), exit_code);

  std::ostringstream banner;
  print_version_banner("vemora", banner);
  const std::string output = test_support::normalize_line_ends(out.str());
  const std::string banner_text = test_support::normalize_line_ends(banner.str());
  ASSERT_EQ(banner_text, output.substr(0, banner_text.size())) << "the output lacks the banner";
  EXPECT_EQ(read_text(source_file("expected_stdout.txt")), output.substr(banner_text.size()));

  auto after = snapshot(run_root);
  if (test_support::file_exists(source_file("expected.amb"))) {
    const auto written = after.find(result_file);
    ASSERT_TRUE(written != after.end() && !written->second.is_directory)
        << result_file << " was not written";
    EXPECT_EQ(read_text(source_file("expected.amb")),
              test_support::normalize_line_ends(written->second.bytes));
    after.erase(written);
    auto expected_before = before;
    expected_before.erase(result_file);
    EXPECT_EQ("", tree_changes(expected_before, after));
  } else {
    EXPECT_EQ("", tree_changes(before, after));
  }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenCase, testing::ValuesIn(golden_case_names()),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return test_name_of(param_info.param);
                         });

TEST(GoldenCases, FolderHoldsCases) { EXPECT_FALSE(golden_case_names().empty()); }

}  // namespace
