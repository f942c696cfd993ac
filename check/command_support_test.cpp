// An output named on the command line is written whole or not at all: a
// writer whose stream goes bad half-way, or one that throws, leaves the
// earlier file byte for byte and no temporary file, and the run is told
// "FILE: cannot be written" (exit 3).
#include "check/command_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "check/run_check.h"
#include "tests/test_support.h"

namespace {

enum class failing { stream_bad, throws };

TEST(WriteOutput, AWriteFailingHalfWayKeepsTheEarlierFile) {
  for (const failing how : {failing::stream_bad, failing::throws}) {
    test_support::scoped_temp_dir dir;
    const std::string earlier = "{\"earlier\": \"report\"}\n";
    const std::string path = dir.write("report.json", earlier);
    report_context context;
    context.memory_definition.path = dir.write("memory.def", "PROGRAM 0 10\n");
    context.map.path = dir.write("app.map", "map");
    const output_request request{path, [how](std::ostream& out) {
                                   out << "{\"new\": ";
                                   if (how == failing::stream_bad) {
                                     out.setstate(std::ios::badbit);
                                   } else {
                                     throw std::runtime_error("stopped");
                                   }
                                   out << "1}\n";
                                 }};
    std::ostringstream standard_output;
    try {
      write_output(request, context, standard_output);
      ADD_FAILURE() << "a failed write passed for a written file";
    } catch (const check_error& error) {
      EXPECT_EQ(error.code, check_exit_input);
      EXPECT_EQ(error.message, path + ": cannot be written");
    }
    EXPECT_EQ(test_support::read_file(path), earlier);
    EXPECT_EQ(test_support::names_in(dir.path()),
              (std::vector<std::string>{"app.map", "memory.def", "report.json"}));
    EXPECT_TRUE(standard_output.str().empty());
  }
}

TEST(WriteOutput, AWholeWriteReplacesTheEarlierFileAndStandardOutputIsDash) {
  test_support::scoped_temp_dir dir;
  const std::string path = dir.write("report.md", "earlier, and longer than the new text\n");
  report_context context;
  std::ostringstream standard_output;
  write_output({path, [](std::ostream& out) { out << "new\n"; }}, context, standard_output);
  EXPECT_EQ(test_support::read_file(path), "new\n");
  EXPECT_EQ(test_support::names_in(dir.path()), (std::vector<std::string>{"report.md"}));
  write_output({"-", [](std::ostream& out) { out << "to the stream\n"; }}, context,
               standard_output);
  EXPECT_EQ(standard_output.str(), "to the stream\n");
}

}  // namespace
