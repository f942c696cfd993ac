// write_whole_file replaces a file whole or not at all: whatever goes wrong
// on the way (no such folder, a stream gone bad half-way, a throw, a folder
// of that name) leaves the old file byte for byte and no temporary file.
#include "text/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

enum class writing { whole, bad_half_way, failed_half_way, throws_half_way };

struct whole_file_case {
  const char* what;
  const char* target;  ///< in the folder, which holds "out.json" and the folder "sub"
  writing how;
  bool ok;
  const char* left_there;  ///< out.json afterwards
};

constexpr const char* k_old = "{\"old\": true}\r\n";

}  // namespace

TEST(WriteWholeFile, LeavesTheOldFileWholeWhenTheWriteFails) {
  const whole_file_case cases[] = {
      {"a whole write replaces it", "out.json", writing::whole, true, "first\nsecond\n"},
      {"a stream gone bad half-way keeps the old one", "out.json", writing::bad_half_way, false,
       k_old},
      {"a stream failed half-way keeps the old one", "out.json", writing::failed_half_way, false,
       k_old},
      {"a throw half-way keeps the old one", "out.json", writing::throws_half_way, false, k_old},
      {"no such folder: nothing made", "missing/out.json", writing::whole, false, k_old},
      {"a folder of that name stays", "sub", writing::whole, false, k_old},
  };
  for (const whole_file_case& c : cases) {
    SCOPED_TRACE(c.what);
    test_support::scoped_temp_dir dir;
    const std::string old_file = dir.write("out.json", k_old);
    std::filesystem::create_directory(dir.file("sub"));
    const bool ok = write_whole_file(
        dir.file(c.target),
        [&c](std::ostream& out) {
          out << "first\n";
          if (c.how == writing::bad_half_way) {
            out.setstate(std::ios::badbit);
          } else if (c.how == writing::failed_half_way) {
            out.setstate(std::ios::failbit);
          } else if (c.how == writing::throws_half_way) {
            throw std::runtime_error("stopped");
          }
          out << "second\n";
        },
        file_mode::binary);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(test_support::read_file(old_file), c.left_there);
    EXPECT_EQ(test_support::names_in(dir.path()), (std::vector<std::string>{"out.json", "sub"}));
    EXPECT_TRUE(test_support::names_in(dir.file("sub")).empty());
  }
}

TEST(WriteWholeFile, BinaryKeepsTheBytesAsGiven) {
  test_support::scoped_temp_dir dir;
  const std::string path = dir.file("out.csv");
  ASSERT_TRUE(write_whole_file(
      path, [](std::ostream& out) { out << "a,b\r\n1,2\r\n"; }, file_mode::binary));
  EXPECT_EQ(test_support::read_file(path), "a,b\r\n1,2\r\n");
}

#ifndef _WIN32
TEST(WriteWholeFile, ALinkStaysAndTheFileItNamesIsReplaced) {
  test_support::scoped_temp_dir dir;
  std::filesystem::create_directory(dir.file("real"));
  const std::string real = dir.write("real/out.md", "old\n");
  const std::string link = dir.file("out.md");
  std::filesystem::create_symlink(real, link);
  ASSERT_TRUE(write_whole_file(
      link, [](std::ostream& out) { out << "new\n"; }, file_mode::binary));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test_support::read_file(real), "new\n");
  EXPECT_EQ(test_support::names_in(dir.file("real")), (std::vector<std::string>{"out.md"}));
}

TEST(WriteWholeFile, KeepsThePermissionsOfTheFileItReplaces) {
  test_support::scoped_temp_dir dir;
  const std::string path = dir.write("report.html", "old\n");
  const auto mode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                    std::filesystem::perms::group_read;
  std::filesystem::permissions(path, mode);
  ASSERT_TRUE(write_whole_file(
      path, [](std::ostream& out) { out << "new\n"; }, file_mode::binary));
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all, mode);
}
#endif
