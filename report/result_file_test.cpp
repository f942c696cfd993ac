// The result file replaces an earlier one whole or not at all: a write that
// fails half-way leaves the old file as it was and no temporary file beside
// it, and an input of the run is never replaced.
#include "report/result_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "mapfile/section_name_pool.h"
#include "tests/test_support.h"

namespace {

enum class writing { whole, fails_half_way, throws_half_way };

struct replace_case {
  const char* what;
  writing how;
  bool named_like_an_input;
  bool ok;                 ///< what replace_file_with returns
  const char* left_there;  ///< the file's contents afterwards
};

}  // namespace

TEST(ResultFile, ReplacesTheOldFileWholeOrNotAtAll) {
  const replace_case cases[] = {
      {"a whole write replaces it", writing::whole, false, true, "first\nsecond\n"},
      {"a stream failing half-way keeps the old one", writing::fails_half_way, false, false,
       "old line one\nold line two\nold line three\n"},
      {"a throw half-way keeps the old one", writing::throws_half_way, false, false,
       "old line one\nold line two\nold line three\n"},
      {"an input named like it is never replaced", writing::whole, true, false,
       "old line one\nold line two\nold line three\n"},
  };
  for (const replace_case& c : cases) {
    SCOPED_TRACE(c.what);
    test_support::scoped_temp_dir dir;
    const std::string path =
        dir.write("Vemora.amb", "old line one\nold line two\nold line three\n");
    const std::string map = dir.write("app.map", "map");
    std::vector<std::string> inputs = {map};
    if (c.named_like_an_input) {
      inputs.push_back(path);
    }
    const bool ok = replace_file_with(path, inputs, [&c](std::ostream& out) {
      out << "first\n";
      if (c.how == writing::fails_half_way) {
        out.setstate(std::ios::badbit);
      } else if (c.how == writing::throws_half_way) {
        throw std::runtime_error("stopped");
      }
      out << "second\n";
    });
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(test_support::normalize_line_ends(test_support::read_file(path)), c.left_there);
    EXPECT_EQ(test_support::names_in(dir.path()),
              (std::vector<std::string>{"Vemora.amb", "app.map"}));
  }
}

TEST(ResultFile, IsMadeWhereNoneWasBefore) {
  test_support::scoped_temp_dir dir;
  const std::string path = dir.file("Vemora.amb");
  EXPECT_TRUE(replace_file_with(path, {}, [](std::ostream& out) { out << "line\n"; }));
  EXPECT_EQ(test_support::normalize_line_ends(test_support::read_file(path)), "line\n");
}

TEST(ResultFile, AFolderThatIsNotThereGivesFalse) {
  test_support::scoped_temp_dir dir;
  const std::string path = dir.file("missing/Vemora.amb");
  EXPECT_FALSE(replace_file_with(path, {}, [](std::ostream& out) { out << "line\n"; }));
  EXPECT_FALSE(test_support::file_exists(path));
}

TEST(ResultFile, LinesNameTheSectionTheMatchAndTheEarlierClaim) {
  search_list searches;
  searches.emplace_back("text");
  searches.emplace_back("|text |init");
  search_accounting accounting(searches);
  section_name_pool names;
  section_record text;
  text.name = section_name(".text", names);
  text.size = 4;
  accounting.account(text);
  accounting.account(text);
  std::ostringstream out;
  render_result_file(accounting.breakdown(), out);
  EXPECT_EQ(out.str(),
            ".text: Found in [ |text |init ] and in [ text ]\n"
            ".text: Found in [ text ] and in [ text ]\n"
            ".text: Found in [ |text |init ] and in [ text ]\n");
}
