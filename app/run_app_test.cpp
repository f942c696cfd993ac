// Tests of the entry point's logic: the program folder taken from argument 0,
// the resolution of input names, the exit codes and their messages, and the
// order in which the inputs are checked and the two reports run.
#include "app/run_app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using test_support::scoped_working_dir;

struct app_result {
  int code = 0;
  std::string output;
};

app_result run(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) {
    argv.push_back(argument.c_str());
  }
  std::ostringstream out;
  app_result result;
  result.code = run_app(static_cast<int>(argv.size()), argv.data(), out);
  result.output = out.str();
  return result;
}

// What run_app prints before anything else: the banner and an empty line.
std::string banner_of(const std::string& argument0) {
  std::ostringstream out;
  print_version_banner(argument0, out);
  return out.str() + "\n";
}

std::string altium_row(const std::string& name, const std::string& start, const std::string& size) {
  std::string line = name + " ";
  line.resize(30, '.');
  line.resize(32, ' ');
  line += start;
  line.resize(54, ' ');
  return line + size + "  CODE\n";
}

const std::string k_map_with_code = "Memory map\n\nName  Start  End  Length\n----------\n" +
                                    altium_row("CODE_A", "000100", "000010") +
                                    "Number of symbols: 1\n";
const std::string k_map_outside = "Memory map\n\nName  Start  End  Length\n----------\n" +
                                  altium_row("FAR", "F00000", "000010") + "Number of symbols: 1\n";
const std::string k_definition = "PROGRAM 0x0000 0x8000\n";
const std::string k_eep =
    "; EEPROM project source\n_RuxEep_nOnceDataSize\n    0x123,\n"
    "_RuxEep_nTrippleDataSize\n    0x10,\n_RuxEep_nOnceDataFree\n    0x2DD,\n"
    "_RuxEep_nTrippleDataFree\n    0x30,\n";

// A drive name under which nothing exists on any test machine.
const std::string k_missing_drive_name = "Q:\\vemora_no_such_folder\\missing.file";
// Relative, so it is looked for in the working folder (argument 0 has no
// backslash) on every platform; a temporary folder may begin with a drive.
const std::string k_missing_relative_name = "vemora_no_such_folder/missing.file";

const std::string k_wrong_count =
    "Vemora:\tError: Wrong number of input parameters.\n"
    "Vemora:\tPlease provide the proper number of input filename parameters (include "
    "EepPrj.src if necessary).\n";

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

// ---- program folder and name resolution ------------------------------------------

TEST(ProgramDir, UpToAndIncludingTheLastBackslash) {
  EXPECT_EQ(program_dir_of("C:\\tools\\bin\\Vemora.exe"), "C:\\tools\\bin\\");
  EXPECT_EQ(program_dir_of("tools\\Vemora.exe"), "tools\\");
  EXPECT_EQ(program_dir_of("\\Vemora.exe"), "\\");
  EXPECT_EQ(program_dir_of("a\\b/c"), "a\\");
  EXPECT_EQ(program_dir_of("/usr/local/bin/vemora"), "") << "a forward slash is no separator";
  EXPECT_EQ(program_dir_of("vemora"), "");
  EXPECT_EQ(program_dir_of(""), "");
}

TEST(CheckInputPath, DriveNameThatDoesNotExistIsAnInvalidPath) {
  std::string resolved = "left over";
  EXPECT_EQ(check_input_path(resolved, k_missing_drive_name, "C:\\tools\\"), -1);
  EXPECT_EQ(resolved, "");
  EXPECT_EQ(check_input_path(resolved, "q:missing.file", ""), -1);
  EXPECT_EQ(resolved, "");
}

TEST(CheckInputPath, OtherMissingNamesAreNotFound) {
  test_support::scoped_temp_dir dir;
  std::string resolved = "left over";
  EXPECT_EQ(check_input_path(resolved, "missing.def", dir.path() + "/"), -2);
  EXPECT_EQ(resolved, "");
  EXPECT_EQ(check_input_path(resolved, k_missing_relative_name, ""), -2);
  EXPECT_EQ(resolved, "");
  EXPECT_EQ(check_input_path(resolved, "", "/no/such/folder/"), -2);
}

TEST(CheckInputPath, NamesWithoutDriveArePrefixedWithTheProgramFolder) {
  test_support::scoped_temp_dir dir;
  dir.write("mem.def", k_definition);
  const std::string program_dir = dir.path() + "/";
  std::string resolved;
  EXPECT_EQ(check_input_path(resolved, "mem.def", program_dir), 0);
  EXPECT_EQ(resolved, program_dir + "mem.def");

  // No separator is inserted: the folder text and the name are joined as they are.
  EXPECT_EQ(check_input_path(resolved, "mem.def", dir.path()), -2);
  EXPECT_EQ(resolved, "");

  // A name that starts with a backslash is prefixed like any other.
  dir.write("\\lead.def", k_definition);
  EXPECT_EQ(check_input_path(resolved, "\\lead.def", program_dir), 0);
  EXPECT_EQ(resolved, program_dir + "\\lead.def");

  // A relative name is not looked for in the working directory when the
  // program folder is known.
  test_support::scoped_temp_dir elsewhere;
  scoped_working_dir cwd(dir.path());
  EXPECT_EQ(check_input_path(resolved, "mem.def", elsewhere.path() + "/"), -2);
  EXPECT_EQ(check_input_path(resolved, "mem.def", ""), 0);
  EXPECT_EQ(resolved, "mem.def");
}

TEST(CheckInputPath, ExistingDriveNameIsTakenUnchanged) {
  test_support::scoped_temp_dir dir;
#ifdef _WIN32
  const std::string name = dir.write("mem.def", k_definition);  // begins with its drive
#else
  // Here a drive name is a name like any other, relative to the working directory.
  const std::string name = "C:mem.def";
  dir.write(name, k_definition);
  scoped_working_dir cwd(dir.path());
#endif
  std::string resolved;
  EXPECT_EQ(check_input_path(resolved, name, "/no/such/folder/"), 0);
  EXPECT_EQ(resolved, name);
}

// ---- argument count --------------------------------------------------------------

TEST(RunApp, WrongArgumentCountsGiveMinusFive) {
  const app_result none = run({"vemora"});
  EXPECT_EQ(none.code, -5);
  EXPECT_EQ(none.output, banner_of("vemora") + k_wrong_count);

  const app_result three = run({"vemora", "Orm6", "mem.def"});
  EXPECT_EQ(three.code, -5);
  EXPECT_EQ(three.output, banner_of("vemora") + k_wrong_count);

  const app_result six = run({"vemora", "Orm6", "a", "b", "c", "d"});
  EXPECT_EQ(six.code, -5);
  EXPECT_EQ(six.output, banner_of("vemora") + k_wrong_count);
}

TEST(RunApp, BannerNamesTheVersion) {
#ifdef _WIN32
  GTEST_SKIP() << "the test program carries no version resource; the end-to-end tests check "
                  "the banner of Vemora.exe";
#endif
  const std::string banner = banner_of("vemora");
  EXPECT_NE(banner.find(" version 2.9 from Nov  2 2016\n"), std::string::npos) << banner;
}

// ---- input checks and their order --------------------------------------------------

TEST(RunApp, MissingDefinitionFile) {
  test_support::scoped_temp_dir dir;
  const std::string map = dir.write("app.map", k_map_with_code);
  const app_result not_found = run({"vemora", "Orm6", k_missing_relative_name, map});
  EXPECT_EQ(not_found.code, -2);
  EXPECT_EQ(not_found.output, banner_of("vemora") + "Could not find input definition file\n");

  const app_result invalid = run({"vemora", "Orm6", k_missing_drive_name, map});
  EXPECT_EQ(invalid.code, -1);
  EXPECT_EQ(invalid.output, banner_of("vemora") + "Invalid path for input definition file\n");
}

TEST(RunApp, MissingMapFile) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition);
  const app_result not_found = run({"vemora", "Orm6", definition, k_missing_relative_name});
  EXPECT_EQ(not_found.code, -2);
  EXPECT_EQ(not_found.output, banner_of("vemora") + "Could not find input map file\n");

  const app_result invalid = run({"vemora", "Orm6", definition, k_missing_drive_name});
  EXPECT_EQ(invalid.code, -1);
  EXPECT_EQ(invalid.output, banner_of("vemora") + "Invalid path for input map file\n");
}

TEST(RunApp, DefinitionIsCheckedBeforeTheMap) {
  test_support::scoped_temp_dir dir;
  const app_result both =
      run({"vemora", "Nope", k_missing_relative_name, k_missing_drive_name, "Q:\\x.src"});
  EXPECT_EQ(both.code, -2);
  EXPECT_EQ(both.output, banner_of("vemora") + "Could not find input definition file\n");
}

TEST(RunApp, MissingEepFileIsReportedAfterTheWholeMemoryReport) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition);
  const std::string map = dir.write("app.map", k_map_with_code);
  const app_result four = run({"vemora", "Orm6", definition, map});
  ASSERT_EQ(four.code, 0);
  const std::string memory_report = four.output;
  EXPECT_NE(memory_report.find("Vemora Memory Report"), std::string::npos);

  const app_result not_found = run({"vemora", "Orm6", definition, map, k_missing_relative_name});
  EXPECT_EQ(not_found.code, -2);
  EXPECT_EQ(not_found.output, memory_report + "Could not find input eep file\n");

  const app_result invalid = run({"vemora", "Orm6", definition, map, k_missing_drive_name});
  EXPECT_EQ(invalid.code, -1);
  EXPECT_EQ(invalid.output, memory_report + "Invalid path for input eep file\n");
}

TEST(RunApp, FailedMemoryReportNeverTestsTheEepFile) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition);
  const std::string map = dir.write("app.map", k_map_with_code);
  const app_result result = run({"vemora", "tev2", definition, map, k_missing_drive_name});
  EXPECT_EQ(result.code, -3);
  EXPECT_EQ(result.output,
            banner_of("vemora") + "Vemora:\tMap definition file type is not supported.\n");

  // The companion's image keyword is none of the console program's.
  const std::string image = test_support::source_dir() + "/examples/cortex-m/firmware.elf";
  const app_result elf = run({"vemora", "Elf", definition, image});
  EXPECT_EQ(elf.code, -3);
  EXPECT_EQ(elf.output,
            banner_of("vemora") + "Vemora:\tMap definition file type is not supported.\n");

  const std::string search_only = dir.write("search.def", "SEARCH CODE\n");
  const app_result bad_definition = run({"vemora", "Orm6", search_only, map, "missing.src"});
  EXPECT_EQ(bad_definition.code, -3);
  EXPECT_EQ(bad_definition.output,
            banner_of("vemora") + "Vemora:\tInvalid memory definition file.\n");
}

// ---- both reports ------------------------------------------------------------------

TEST(RunApp, EepReportFollowsTheMemoryReportInItsFormat) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition);
  const std::string map = dir.write("app.map", k_map_with_code);
  const std::string eep = dir.write("EepPrj.src", k_eep);
  const app_result result = run({"vemora", "Orm6", definition, map, eep});
  EXPECT_EQ(result.code, 0);
  EXPECT_NE(result.output.find("Vemora Memory Report"), std::string::npos);
  EXPECT_TRUE(ends_with(result.output,
                        "Tripple Data:\n  Total:     192\n  Pct Used:  25.00%\n"
                        "  Used:      48\n  Free:      144\n\n"))
      << result.output;
}

TEST(RunApp, EepReportAfterAnEmptyMemoryReportUsesTheInitialFormat) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition);
  const std::string map = dir.write("app.map", k_map_outside);
  const std::string eep = dir.write("EepPrj.src", k_eep);
  const app_result result = run({"vemora", "Orm6", definition, map, eep});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.output.find("Vemora Memory Report"), std::string::npos);
  EXPECT_EQ(result.output.rfind(banner_of("vemora") + "\nEEP size analyze: \n", 0), 0u)
      << result.output;
  EXPECT_NE(result.output.find("  Pct Used:  27.8783%\n"), std::string::npos) << result.output;

  const app_result no_eep = run({"vemora", "Orm6", definition, map});
  EXPECT_EQ(no_eep.code, 0);
  EXPECT_EQ(no_eep.output, banner_of("vemora"));
}

TEST(RunApp, FailedEepScanGivesMinusFour) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition);
  const std::string map = dir.write("app.map", k_map_with_code);
  const std::string eep = dir.write("EepPrj.src", "heading\n_RuxEep_nOnceDataSize\n    0x1,\n");
  const app_result result = run({"vemora", "Orm6", definition, map, eep});
  EXPECT_EQ(result.code, -4);
  EXPECT_TRUE(ends_with(result.output, "File end\nerror in the analyze EEP size: \n"));
  EXPECT_NE(result.output.find("Vemora Memory Report"), std::string::npos);
}

TEST(RunApp, UnwritableResultFileKeepsExitCodeZero) {
  test_support::scoped_temp_dir dir;
  std::filesystem::create_directory(dir.file("Vemora.amb"));
  const std::string definition =
      dir.write("mem.def", k_definition + "SEARCH CODE\nSEARCH |CODE_A\n");
  const std::string map = dir.write("app.map", k_map_with_code);
  const app_result result = run({"vemora", "Orm6", definition, map});
  EXPECT_EQ(result.code, 0);
  EXPECT_NE(result.output.find("Vemora:\tCould not write the ambiguous search result file " +
                               dir.file("Vemora.amb") + ".\n"),
            std::string::npos)
      << result.output;
}

TEST(RunApp, RelativeNamesAreResolvedAgainstTheProgramFolder) {
  // Argument 0 names the program as "<dir>/bin\vemora": its folder is "<dir>/bin\",
  // so "mem.def" is looked for as the file "<dir>/bin\mem.def".
  test_support::scoped_temp_dir dir;
#ifdef _WIN32
  std::filesystem::create_directory(dir.file("bin"));
#endif
  dir.write("bin\\mem.def", k_definition);
  dir.write("bin\\app.map", k_map_with_code);
  dir.write("mem.def", "");
  const std::string program = dir.path() + "/bin\\vemora";
  scoped_working_dir cwd(dir.path());
  const app_result result = run({program, "Orm6", "mem.def", "app.map"});
  EXPECT_EQ(result.code, 0);
  EXPECT_NE(result.output.find("Vemora Memory Report"), std::string::npos) << result.output;

  // app2.map lies only in the working directory.
  dir.write("app2.map", k_map_with_code);
  const app_result elsewhere = run({program, "Orm6", "mem.def", "app2.map"});
  EXPECT_EQ(elsewhere.code, -2);
  EXPECT_EQ(elsewhere.output, banner_of(program) + "Could not find input map file\n");
}
