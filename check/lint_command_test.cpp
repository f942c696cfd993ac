// `vemora-check lint` in-process: its exit code by the gravest finding and
// --fail-on, usage (2) and input (3) errors before any output, any bytes as
// a definition, and the report's diagnostics being the lint's findings.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "check/check_test_run.h"
#include "check/run_check.h"
#include "tests/test_support.h"

namespace {

using namespace std::string_literals;
using test_support::scoped_working_dir;

using check_test::check_run;
using check_test::run;

// Two entries match .text, and the second .text record overfills the range.
const char k_definition[] =
    "PROGRAM 0x1000 0x100\n"
    "SEARCH text\n"
    "SEARCH .text\n";

const char k_map[] =
    "Sections:\n"
    "Idx Name          Size      VMA       LMA\n"
    "  0 .text         00000100  00001000  00001000  2**2\n"
    "                  CONTENTS, ALLOC, LOAD, CODE\n"
    "  1 .text         00000010  00001000  00001000  2**2\n"
    "                  CONTENTS, ALLOC, LOAD, CODE\n";

class lint_folder : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir.write("clean.def", "PROGRAM 0 1000   // flash\nMEMORY 1000 100\n");
    m_dir.write("warning.def", "PROGRAM 0 1000 2000\n");
    m_dir.write("error.def", "PROGRAM 0 1000\nMEMORY 10,20\n");
    m_dir.write("note.def", "PROGRAM 0 1000\nflash\n");
    m_dir.write("memory.def", k_definition);
    m_dir.write("small.map", k_map);
    std::filesystem::create_directory(m_dir.file("folder.def"));
  }

  test_support::scoped_temp_dir m_dir;
};

using check_test::exit_case;

TEST_F(lint_folder, ExitCodes) {
  const exit_case cases[] = {
      {"clean", {"clean.def"}, 0, ""},
      {"a warning is no error", {"warning.def"}, 0, ""},
      {"a warning fails at warning", {"warning.def", "--fail-on", "warning"}, 1, ""},
      {"an error", {"error.def"}, 1, ""},
      {"an error with never", {"error.def", "--fail-on", "never"}, 0, ""},
      {"a note at warning", {"note.def", "--fail-on", "warning"}, 0, ""},
      {"the map's warnings", {"memory.def", "--keyword", "Tev2", "--map", "small.map"}, 0, ""},
      {"the map's warnings at warning",
       {"memory.def", "--keyword", "Tev2", "--map", "small.map", "--fail-on", "warning"},
       1,
       ""},
      {"missing definition", {"missing.def"}, 3, "vemora-check: missing.def: no such file\n"},
      {"definition is a folder",
       {"folder.def"},
       3,
       "vemora-check: folder.def: is a folder, not a file\n"},
      {"missing map",
       {"memory.def", "--keyword", "Tev2", "--map", "missing.map"},
       3,
       "vemora-check: missing.map: no such file\n"},
      {"map is a folder",
       {"memory.def", "--keyword", "Tev2", "--map", "folder.def"},
       3,
       "vemora-check: folder.def: is a folder, not a file\n"},
      {"map without keyword",
       {"memory.def", "--map", "small.map"},
       2,
       "vemora-check: --map needs --keyword\n"},
      {"keyword without map",
       {"memory.def", "--keyword", "Tev2"},
       2,
       "vemora-check: --keyword needs --map\n"},
      {"unknown keyword goes before missing files",
       {"missing.def", "--keyword", "tev2", "--map", "missing.map"},
       2,
       "vemora-check: unknown keyword \"tev2\" (known: Orm6, Tev2, Tev2_mem32_unlimited, Orm8, "
       "Pux4, Elf)\n"},
      {"unknown format", {"clean.def", "--format", "xml"}, 2, nullptr},
      {"unknown threshold", {"clean.def", "--fail-on", "note"}, 2, nullptr},
      {"no definition", {}, 2, nullptr},
  };
  const scoped_working_dir here(m_dir.path());
  for (const exit_case& c : cases) {
    const check_run result = check_test::expect_exit(c, {"lint"});
    if (c.code >= 2) {
      EXPECT_EQ(result.out.find("errors,"), std::string::npos) << result.out;
    }
  }
}

TEST_F(lint_folder, TextOfAFile) {
  const scoped_working_dir here(m_dir.path());
  const check_run result = run({"lint", "error.def"});
  EXPECT_EQ(result.out,
            "error.def:2:1: warning: the range MEMORY 0x10 0x0 has size 0: it can never hold a "
            "section [VL005]\n"
            "error.def:2:10: error: the size \",20\" is not a hexadecimal number: the size is "
            "taken as 0 [VL004]\n"
            "1 error, 1 warning, 0 notes\n");
}

TEST_F(lint_folder, GitHubOfAFile) {
  const scoped_working_dir here(m_dir.path());
  const check_run result = run({"lint", "note.def", "--format", "github"});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out,
            "::notice file=note.def,line=2,col=1,title=VL009::the line holds none of SEARCH, "
            "PROGRAM, MEMORY, EEPROM, RESERVED: \"flash\" is ignored\n");
}

// The report's diagnostics are the lint's findings with a map, in the same order.
TEST_F(lint_folder, ReportListsWhatLintFinds) {
  const scoped_working_dir here(m_dir.path());
  const check_run lint =
      run({"lint", "memory.def", "--keyword", "Tev2", "--map", "small.map", "--format", "json"});
  const check_run report = run({"report", "Tev2", "memory.def", "small.map", "--json", "-"});
  ASSERT_EQ(lint.code, 0) << lint.err;
  ASSERT_EQ(report.code, 0) << report.err;
  const nlohmann::json found = nlohmann::json::parse(lint.out)["diagnostics"];
  const nlohmann::json listed = nlohmann::json::parse(report.out)["diagnostics"];
  std::vector<std::string> codes;
  for (const nlohmann::json& d : found) {
    codes.push_back(d["code"].get<std::string>() + "@" + std::to_string(d["line"].get<int>()));
  }
  // Overfull range, then both entries' double claims of .text.
  EXPECT_EQ(codes, (std::vector<std::string>{"VL105@1", "VL104@2", "VL104@3"}));
  EXPECT_EQ(listed, found);
}

TEST(LintExamples, BundledDefinitionsLintClean) {
  for (const char* example : {"mem32", "orm6", "orm8", "pux4", "tev2"}) {
    const std::string path = test_support::source_dir() + "/examples/" + example + "/memory.def";
    const check_run result = run({"lint", path, "--fail-on", "warning"});
    EXPECT_EQ(result.code, 0) << example;
    EXPECT_EQ(result.out, "0 errors, 0 warnings, 0 notes\n") << example;
  }
}

// Any bytes end with findings and their count line, or exit 3; never a crash.
TEST_F(lint_folder, AnyBytes) {
  std::mt19937 random(11);
  std::string binary;
  for (int i = 0; i < 5000; ++i) {
    binary += static_cast<char>(random() % 256);
  }
  const struct {
    const char* what;
    std::string bytes;
    int code;
  } cases[] = {
      {"binary", binary, -1},
      {"NUL bytes", "PROGRAM 0 10\0\0\0x\nMEMORY 100 2\0junk\n"s, 0},
      {"a line of 100 000 characters", "PROGRAM 0 10 " + std::string(100000, 'x') + "\n", 0},
      {"empty", "", 1},
      {"only line ends", "\n\r\n\n", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = m_dir.write("any.def", c.bytes);
    for (const char* format : {"text", "json", "github"}) {
      const check_run result = run({"lint", path, "--format", format});
      EXPECT_TRUE(result.code == 0 || result.code == 1) << result.code;
      if (c.code >= 0) {
        EXPECT_EQ(result.code, c.code);
      }
      EXPECT_EQ(result.err, "");
      if (std::string(format) == "text") {
        EXPECT_NE(result.out.find(" notes\n"), std::string::npos);
      }
      if (std::string(format) == "json") {
        EXPECT_TRUE(nlohmann::json::accept(result.out));
      }
    }
  }
  // The long line is cut and the text after the size is told.
  const check_run cut = run({"lint", m_dir.write("long.def", cases[2].bytes)});
  EXPECT_NE(cut.out.find(":1:512: warning:"), std::string::npos);
  EXPECT_NE(cut.out.find(":1:14: warning: the text \"xxxx"), std::string::npos);
}

}  // namespace

// The lint of a linked image, read as the map or beside its listing.
TEST(lint_image, FindingsOfTheImageAndItsRefusals) {
  const std::string dir = test_support::source_dir() + "/examples/";
  const std::string definition = dir + "cortex-m/memory.def";
  const std::string image = dir + "cortex-m/firmware.elf";
  const std::string listing = dir + "cortex-m/firmware.lst";
  const std::string other = dir + "arm-big-endian/firmware.elf";
  test_support::scoped_temp_dir scratch;
  const std::string cut = scratch.write("cut.elf", std::string("\x7f"
                                                               "ELF\x01\x01\x01",
                                                               7));
  const exit_case cases[] = {
      {"the image as the map", {definition, "--keyword", "Elf", "--map", image}, 0, ""},
      {"the image beside its listing",
       {definition, "--keyword", "Tev2_mem32_unlimited", "--map", listing, "--elf", image},
       0,
       ""},
      {"another image beside the listing",
       {definition, "--keyword", "Tev2_mem32_unlimited", "--map", listing, "--elf", other},
       1,
       ""},
      {"an image without a map",
       {definition, "--elf", image},
       2,
       "vemora-check: --elf needs --keyword and --map\n"},
      {"an image beside the image",
       {definition, "--keyword", "Elf", "--map", image, "--elf", image},
       2,
       "vemora-check: --elf is for a listing's keyword: with Elf the map is the image\n"},
      {"a cut image beside the listing",
       {definition, "--keyword", "Tev2_mem32_unlimited", "--map", listing, "--elf", cut},
       3,
       nullptr},
      {"a cut image as the map", {definition, "--keyword", "Elf", "--map", cut}, 3, nullptr},
  };
  for (const exit_case& c : cases) {
    check_test::expect_exit(c, {"lint"});
  }

  // libgcc's double routines have entry points inside one another (nm -S -n): __adddf3 in
  // __aeabi_dsub (0x276 bytes), __aeabi_l2d in __aeabi_ul2d (0x5A), __ledf2 (0x82) and __cmpdf2
  // (0x7A) in __gedf2, __aeabi_cdcmpeq in __aeabi_cdrcmple (0x10): five symbols, 0x3DC bytes.
  const check_run as_map = run({"lint", definition, "--keyword", "Elf", "--map", image});
  EXPECT_NE(as_map.out.find(image + ": note: in the image " + image +
                            ", 5 symbols overlap the symbols before them by 0x3DC bytes in all: "
                            "each byte is counted once, for the first symbol [VL112]\n"),
            std::string::npos)
      << as_map.out;
  const check_run foreign = run(
      {"lint", definition, "--keyword", "Tev2_mem32_unlimited", "--map", listing, "--elf", other});
  EXPECT_NE(foreign.out.find("error: not one counted section of the map has a section of its "
                             "name and address in the image " +
                             other +
                             ": it is not this map's image, so no symbol is attributed "
                             "[VL114]\n"),
            std::string::npos)
      << foreign.out;
}
