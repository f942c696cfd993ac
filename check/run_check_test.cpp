// The exit codes of vemora-check, in-process: usage errors (2), inputs that
// cannot be used (3, with one line naming the file and why), and runs that
// are done (0); and that a run creates no file it was not told to write.
#include "check/run_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "check/check_test_run.h"
#include "tests/test_support.h"

namespace {

using test_support::scoped_working_dir;

using check_test::check_run;
using check_test::run;

std::set<std::string> listing(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    names.insert(entry.path().string() + " " +
                 (entry.is_regular_file() ? std::to_string(entry.file_size()) : "folder"));
  }
  return names;
}

const char k_map[] =
    "Sections:\n"
    "Idx Name          Size      VMA       LMA\n"
    "  0 .text         00000100  00001000  00001000  2**2\n"
    "                  CONTENTS, ALLOC, LOAD, CODE\n"
    "  1 .text         00000010  00001100  00001100  2**2\n"
    "                  CONTENTS, ALLOC, LOAD, CODE\n";

// Two entries match .text: the console program would write its result file.
const char k_definition[] =
    "PROGRAM 0x1000 0x1000\n"
    "MEMORY  0x4000 0x400\n"
    "SEARCH text\n"
    "SEARCH .text\n";

class check_folder : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir.write("memory.def", k_definition);
    m_dir.write("small.map", k_map);
    // A listing without sections: its header line says what it is.
    m_dir.write("empty.map",
                "Sections:\nIdx Name          Size      VMA       LMA       File off  Algn\n");
    m_dir.write("nothing.map", "");
    m_dir.write("budget.json",
                "{\"budget_version\": 1, \"ranges\": {\"program0\": {\"max_used_pct\": 90}}}");
    m_dir.write("image.elf", std::string("\x7f"
                                         "ELF\x01\x01\x01\0\0\0\0\0\0\0\0\0",
                                         16));
    m_dir.write("gnu.map",
                "Archive member included to satisfy reference by file (symbol)\n\n"
                "Memory Configuration\n\nName             Origin             Length\n"
                "FLASH            0x08000000         0x00010000         xr\n\n"
                "Linker script and memory map\n\n.text           0x08000000      0x1c4\n");
    m_dir.write("binary.map", std::string("PK\x03\x04\0\0 .text 0 0\n", 17));
    m_dir.write("norange.def", "SEARCH text\n");
    m_dir.write("short.src", "no EEPROM values here\n");
    std::filesystem::create_directory(m_dir.file("folder.map"));
  }

  test_support::scoped_temp_dir m_dir;
};

using check_test::exit_case;

const std::vector<exit_case> k_exit_cases = {
    {"no subcommand", {}, 2, nullptr},
    {"unknown subcommand", {"lints"}, 2, nullptr},
    {"unknown option", {"report", "Tev2", "memory.def", "small.map", "--pdf", "x"}, 2, nullptr},
    {"missing map argument", {"report", "Tev2", "memory.def"}, 2, nullptr},
    {"unknown keyword",
     {"report", "tev2", "memory.def", "small.map"},
     2,
     "vemora-check: unknown keyword \"tev2\" (known: Orm6, Tev2, Tev2_mem32_unlimited, Orm8, "
     "Pux4, Elf)\n"},
    {"unknown keyword goes before missing files",
     {"explain", "Elf32", "missing.def", "missing.map"},
     2,
     nullptr},
    {"explain in an unknown form",
     {"explain", "Tev2", "memory.def", "small.map", "--format", "xml"},
     2,
     nullptr},
    {"explain an unknown reason",
     {"explain", "Tev2", "memory.def", "small.map", "--reason", "debug"},
     2,
     nullptr},
    {"explain a range the definition lacks",
     {"explain", "Tev2", "memory.def", "small.map", "--range", "memory1"},
     2,
     "vemora-check: --range: no range \"memory1\" in memory.def (its ranges: program0, "
     "memory0)\n"},
    {"explain takes no EEPROM source",
     {"explain", "Tev2", "memory.def", "small.map", "short.src"},
     2,
     nullptr},
    {"definition file missing",
     {"report", "Tev2", "missing.def", "small.map"},
     3,
     "vemora-check: missing.def: no such file\n"},
    {"a name in the form of a Windows option is a name",
     {"report", "Tev2", "/memory.def", "small.map"},
     3,
     "vemora-check: /memory.def: no such file\n"},
    {"map file missing",
     {"report", "Tev2", "memory.def", "missing.map"},
     3,
     "vemora-check: missing.map: no such file\n"},
    {"EEPROM source missing",
     {"report", "Tev2", "memory.def", "small.map", "EepPrj.src"},
     3,
     "vemora-check: EepPrj.src: no such file\n"},
    {"definition without any range line",
     {"report", "Tev2", "norange.def", "small.map"},
     3,
     "vemora-check: norange.def: holds no PROGRAM, MEMORY, EEPROM or RESERVED line, so it is no "
     "memory definition\n"},
    {"explain a definition without any range line",
     {"explain", "Tev2", "norange.def", "small.map"},
     3,
     "vemora-check: norange.def: holds no PROGRAM, MEMORY, EEPROM or RESERVED line, so it is no "
     "memory definition\n"},
    {"map that is a folder",
     {"report", "Tev2", "memory.def", "folder.map"},
     3,
     "vemora-check: folder.map: is a folder, not a file\n"},
    {"EEPROM source whose scan runs out",
     {"report", "Tev2", "memory.def", "small.map", "short.src"},
     3,
     "vemora-check: short.src: the scan ends before the line of _RuxEep_nTrippleDataFree\n"},
    {"summary", {"report", "Tev2", "memory.def", "small.map"}, 0, ""},
    {"no section in any range", {"report", "Tev2", "memory.def", "empty.map"}, 0, ""},
    {"map that is an empty file",
     {"report", "Tev2", "memory.def", "nothing.map"},
     3,
     "vemora-check: nothing.map: holds no section line of the shape Tev2 reads, nor a listing's "
     "header line (Idx Name Size VMA LMA): no section listing\n"},
    {"map that is the ELF image",
     {"check", "Tev2", "memory.def", "image.elf", "--budget", "budget.json"},
     3,
     "vemora-check: image.elf: is an ELF file (it starts with the ELF magic), not a section "
     "listing: give the listing of its sections (objdump -h), or read the image itself with the "
     "keyword Elf\n"},
    {"map that is GNU ld's map file",
     {"explain", "Tev2_mem32_unlimited", "memory.def", "gnu.map"},
     3,
     "vemora-check: gnu.map: is a GNU ld map file (\"Memory Configuration\", \"Linker script and "
     "memory map\"), not a section listing: give the listing of the image's sections (objdump "
     "-h)\n"},
    {"map that is no text",
     {"report", "Orm6", "memory.def", "binary.map", "--json", "-"},
     3,
     "vemora-check: binary.map: is not a text file (NUL bytes in its first block), so no section "
     "listing\n"},
    {"explain", {"explain", "Tev2", "memory.def", "small.map", "--format", "csv"}, 0, ""},
    {"explain with filters",
     {"explain", "Tev2", "memory.def", "small.map", "--fate", "dropped", "--reason", "zero_size",
      "--section", "text", "--range", "program0"},
     0,
     ""},
    {"help", {"--help"}, 0, ""},
    {"help of a subcommand", {"explain", "--help"}, 0, ""},
    {"version", {"--version"}, 0, ""},
    {"JSON to standard output",
     {"report", "Tev2", "memory.def", "small.map", "--json", "-"},
     0,
     ""},
    {"schema", {"schema"}, 0, ""},
    {"output in a folder that does not exist",
     {"report", "Tev2", "memory.def", "small.map", "--csv", "no/such/folder/sections.csv"},
     3,
     "vemora-check: no/such/folder/sections.csv: cannot be written\n"},
    {"output named like a folder: the folder stays, no temporary file is left",
     {"report", "Tev2", "memory.def", "small.map", "--html", "folder.map"},
     3,
     "vemora-check: folder.map: cannot be written\n"},
    {"output that would replace an input",
     {"report", "Tev2", "memory.def", "small.map", "--markdown", "small.map"},
     3,
     "vemora-check: small.map: is an input of this run and is not overwritten\n"},
};

TEST_F(check_folder, ExitCodesAndTheirMessages) {
  const scoped_working_dir here(m_dir.path());
  for (const exit_case& c : k_exit_cases) {
    SCOPED_TRACE(c.what);
    const std::set<std::string> before = listing(".");
    const check_run result = check_test::expect_exit(c);
    if (c.code == 0) {
      EXPECT_FALSE(result.out.empty());
    }
    // Neither a result file nor anything else appears.
    EXPECT_EQ(listing("."), before);
  }
}

TEST_F(check_folder, HelpNamesTheExitCodes) {
  const scoped_working_dir here(m_dir.path());
  for (const char* command : {"", "report", "explain", "lint", "diff", "check", "schema"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> arguments;
    if (*command != '\0') {
      arguments.emplace_back(command);
    }
    arguments.emplace_back("--help");
    const check_run result = run(arguments);
    EXPECT_EQ(result.code, 0);
    EXPECT_NE(result.out.find("Exit codes:\n  0  done"), std::string::npos);
    EXPECT_NE(result.out.find("\n  3  input error"), std::string::npos);
  }
}

TEST_F(check_folder, VersionIsTheProjectVersionEverywhere) {
  EXPECT_EQ(run({"--version"}).out, "vemora-check 2.9.0\n");
  EXPECT_EQ(run({"report", "--version"}).out, "vemora-check 2.9.0\n");
  EXPECT_EQ(run({"explain", "--version"}).out, "vemora-check 2.9.0\n");
  EXPECT_EQ(run({"schema", "--version"}).out, "vemora-check 2.9.0\n");
}

TEST_F(check_folder, NoSectionInAnyRangeListsNothingAsCounted) {
  const scoped_working_dir here(m_dir.path());
  const check_run result = run({"explain", "Tev2", "memory.def", "empty.map"});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out,
            "recognised 0 sections, 0 bytes = counted 0 sections, 0 bytes + dropped 0 sections, "
            "0 bytes\n");
}

TEST(KnownKeyword, ExactlyTheReadersOfTheConsoleProgram) {
  for (const char* keyword : {"Orm6", "Tev2", "Tev2_mem32_unlimited", "Orm8", "Pux4"}) {
    EXPECT_TRUE(is_known_keyword(keyword)) << keyword;
  }
  for (const char* keyword : {"", "tev2", "TEV2", "Tev2 ", "Orm7", "Tev2_mem32"}) {
    EXPECT_FALSE(is_known_keyword(keyword)) << keyword;
  }
}

}  // namespace
