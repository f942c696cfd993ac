// Analyses that run at once on threads of one process, as a tool that links
// the libraries may run them: each must give what it gives when it runs
// alone. One of them reads a listing in many stretches on threads of its own
// while the other runs beside it. Each analysis has its inputs, and so its
// result file, in a folder of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/analysis.h"
#include "mapfile/c_map_file_elxr.h"
#include "report/run_memory_report.h"
#include "tests/test_support.h"

namespace {

using test_support::scoped_temp_dir;

/// A copy of an example's inputs in a folder of its own.
class example_copy {
 public:
  explicit example_copy(const std::string& example) {
    const std::string from = test_support::source_dir() + "/examples/" + example + "/";
    for (const char* name : {"memory.def", "firmware.map"}) {
      m_dir.write(name, test_support::read_file(from + name));
    }
  }
  std::string file(const std::string& name) const { return m_dir.file(name); }

 private:
  scoped_temp_dir m_dir;
};

/// The text and result file of one whole report.
struct report_run {
  bool ok = false;
  std::string text;
  std::string result_file;
  bool operator==(const report_run& other) const {
    return ok == other.ok && text == other.text && result_file == other.result_file;
  }
};

report_run run_report(const example_copy& inputs, const std::string& keyword) {
  report_run run;
  std::ostringstream out;
  run.ok = run_memory_report(inputs.file("firmware.map"), inputs.file("memory.def"), keyword, out);
  run.text = out.str();
  run.result_file = test_support::read_file(inputs.file("Vemora.amb"));
  return run;
}

/// Runs the jobs at once, each on a thread of its own, started together.
void run_at_once(const std::vector<std::function<void()>>& jobs) {
  std::atomic<std::size_t> waiting{jobs.size()};
  std::vector<std::thread> threads;
  for (const std::function<void()>& job : jobs) {
    threads.emplace_back([&waiting, &job] {
      --waiting;
      while (waiting.load() != 0) {
        std::this_thread::yield();
      }
      job();
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
}

// The runs at once come first: whatever an analysis builds on first use is
// then built by two threads at once, at least when this test runs first.
constexpr int k_rounds = 3;

TEST(ConcurrentAnalyses, TwoReportsAtOnceEqualEachReportAlone) {
  const example_copy tev2("tev2");
  const example_copy orm6("orm6");
  std::vector<report_run> tev2_runs(k_rounds);
  std::vector<report_run> orm6_runs(k_rounds);
  for (int round = 0; round < k_rounds; ++round) {
    run_at_once({[&] { tev2_runs[round] = run_report(tev2, "Tev2"); },
                 [&] { orm6_runs[round] = run_report(orm6, "Orm6"); }});
  }

  const report_run tev2_alone = run_report(tev2, "Tev2");
  const report_run orm6_alone = run_report(orm6, "Orm6");
  // Both reports are whole, and the Tev2 one has overlapping SEARCH lines.
  ASSERT_TRUE(tev2_alone.ok);
  ASSERT_TRUE(orm6_alone.ok);
  ASSERT_NE(tev2_alone.text.find("Program breakdown:"), std::string::npos) << tev2_alone.text;
  ASSERT_NE(orm6_alone.text.find("Program breakdown:"), std::string::npos) << orm6_alone.text;
  ASSERT_NE(tev2_alone.result_file.find(": Found in [ "), std::string::npos);
  ASSERT_NE(tev2_alone.text, orm6_alone.text);
  for (int round = 0; round < k_rounds; ++round) {
    EXPECT_EQ(tev2_runs[round].text, tev2_alone.text) << "round " << round;
    EXPECT_EQ(tev2_runs[round].result_file, tev2_alone.result_file) << "round " << round;
    EXPECT_EQ(orm6_runs[round].text, orm6_alone.text) << "round " << round;
    EXPECT_EQ(orm6_runs[round].result_file, orm6_alone.result_file) << "round " << round;
  }
}

// ------------------------------------------- a listing read in stretches

/// A Tev2 listing of some thousand sections whose names repeat, with
/// lines between the sections where a stretch can begin.
std::string generated_listing() {
  const char* const names[] = {".text",  ".rodata",  ".data",  ".bss",     ".sdata", ".zbss",
                               ".tdata", ".romdata", ".stack", ".debug_x", ".other"};
  std::mt19937 random(2024);
  std::string text = "Sections:\nIdx Name          Size      VMA       LMA       File off  Algn\n";
  char line[160];
  for (unsigned i = 0; i < 3000; ++i) {
    const char* name = names[random() % (sizeof names / sizeof names[0])];
    // Two thirds in flash, the rest in RAM, some in no range at all.
    const unsigned where = random() % 12;
    const std::uint32_t start = where < 8    ? (random() % 0x70000) & ~3u
                                : where < 11 ? 0x00100000 + (random() % 0x7000 & ~3u)
                                             : 0x00900000;
    std::snprintf(line, sizeof line, "%5u %-13s %08x  %08x  %08x  %08x  2**2\n", i, name,
                  static_cast<unsigned>(random() % 0x400), static_cast<unsigned>(start),
                  static_cast<unsigned>(start), i * 0x40u);
    text += line;
    text += "                CONTENTS, ALLOC, LOAD, DATA\n";
    if (i % 7 == 0) {
      text += "  symbol table entry " + std::to_string(i) + "\n";
    }
  }
  return text;
}

const char k_generated_definition[] =
    "PROGRAM 0x00000000 0x00070000\n"
    "MEMORY  0x00100000 0x00008000\n"
    "SEARCH text\n"
    "SEARCH data\n"
    "SEARCH .text |.rodata\n";

/// What an analysis of the generated listing comes to, names as texts.
struct stretched_run {
  std::vector<std::string> program;  ///< name, start, size and range of every record, in order
  std::vector<std::string> memory;
  std::uint32_t program_bytes = 0;
  std::uint32_t memory_bytes = 0;
  std::vector<std::string> claimed;
  std::vector<std::string> ambiguous;
  bool operator==(const stretched_run& other) const {
    return program == other.program && memory == other.memory &&
           program_bytes == other.program_bytes && memory_bytes == other.memory_bytes &&
           claimed == other.claimed && ambiguous == other.ambiguous;
  }
};

std::vector<std::string> lines_of(const section_list& list) {
  std::vector<std::string> lines;
  for (const section_record& record : list) {
    lines.push_back(record.name.str() + " " + std::to_string(record.start) + " " +
                    std::to_string(record.size) + " " + std::to_string(record.range_index));
  }
  return lines;
}

/// A memory analysis with the listing cut into small stretches: the reader
/// goes before the accounting, its names must not.
stretched_run analyse_in_stretches(const std::string& map_path, const std::string& definition_path,
                                   std::size_t& stretch_count) {
  c_map_file_elxr probe(map_path);
  probe.set_stretching({4096, 4});
  stretch_count = probe.stretch_bounds().size() - 1;

  analysis_request request;
  request.type_keyword = "Tev2";
  request.definition_path = definition_path;
  request.map_path = map_path;
  request.stretching = {4096, 4};
  const memory_analysis analysis = analyse_memory(request);
  EXPECT_TRUE(analysis.has_sections);

  stretched_run run;
  run.program_bytes = analysis.totals.program_bytes;
  run.memory_bytes = analysis.totals.memory_bytes;
  const search_breakdown& breakdown = analysis.breakdown;
  for (const search_breakdown::entry& entry : breakdown.entries) {
    for (const std::uint32_t section : entry.sections) {
      run.claimed.push_back(std::to_string(section) + " [" + entry.text + "]");
    }
  }
  for (const ambiguous_match_record& match : breakdown.ambiguous) {
    run.ambiguous.push_back(match.name.str() + " [" + breakdown.entries[match.entry].text + "] [" +
                            breakdown.entries[match.claimed_by].text + "]");
  }
  run.program = lines_of(analysis.program_sections);
  run.memory = lines_of(analysis.memory_sections);
  return run;
}

TEST(ConcurrentAnalyses, AListingReadInStretchesBesideSmallReportsEqualsEachAlone) {
  scoped_temp_dir large;
  const std::string map = large.write("firmware.map", generated_listing());
  const std::string definition = large.write("memory.def", k_generated_definition);
  const example_copy orm6("orm6");
  const example_copy orm8("orm8");  // another elxr reader, with a pattern of its own

  std::vector<stretched_run> large_runs(k_rounds);
  std::vector<std::size_t> stretches_of_runs(k_rounds);
  std::vector<report_run> orm6_runs(k_rounds);
  std::vector<report_run> orm8_runs(k_rounds);
  for (int round = 0; round < k_rounds; ++round) {
    run_at_once({[&] {
                   large_runs[round] =
                       analyse_in_stretches(map, definition, stretches_of_runs[round]);
                 },
                 [&] { orm6_runs[round] = run_report(orm6, "Orm6"); },
                 [&] { orm8_runs[round] = run_report(orm8, "Orm8"); }});
  }

  std::size_t stretches = 0;
  const stretched_run large_alone = analyse_in_stretches(map, definition, stretches);
  const report_run orm6_alone = run_report(orm6, "Orm6");
  const report_run orm8_alone = run_report(orm8, "Orm8");
  // The test means nothing unless the listing is cut into many stretches
  // and the analysis finds records of both lists and overlapping searches.
  ASSERT_GE(stretches, 8u);
  ASSERT_GT(large_alone.program.size(), 1000u);
  ASSERT_GT(large_alone.memory.size(), 300u);
  ASSERT_FALSE(large_alone.ambiguous.empty());
  ASSERT_TRUE(orm6_alone.ok);
  ASSERT_TRUE(orm8_alone.ok);
  ASSERT_NE(orm8_alone.text, orm6_alone.text);
  for (int round = 0; round < k_rounds; ++round) {
    EXPECT_EQ(stretches_of_runs[round], stretches) << "round " << round;
    EXPECT_TRUE(large_runs[round] == large_alone) << "round " << round;
    EXPECT_TRUE(orm6_runs[round] == orm6_alone) << "round " << round;
    EXPECT_TRUE(orm8_runs[round] == orm8_alone) << "round " << round;
  }
}

}  // namespace
