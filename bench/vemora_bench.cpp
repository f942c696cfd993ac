// Side-by-side costs on the generated inputs (see generate_inputs.cpp):
// reading the lines only (the floor), the purpose-built matchers, the
// std::regex reference on the same lines, and the whole memory report.
// The inputs are taken from the folder named by VEMORA_BENCH_DIR.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "bench/regex_reference.h"
#include "mapfile/c_map_file_elxr.h"
#include "report/run_memory_report.h"
#include "text/line_reader.h"

namespace {

std::string input(const std::string& name) {
  const char* dir = std::getenv("VEMORA_BENCH_DIR");
  return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

void count_bytes(benchmark::State& state, const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(file.tellg()));
}

void read_lines_only(benchmark::State& state, const std::string& name) {
  const std::string path = input(name);
  for (auto _ : state) {
    line_reader reader(2047);
    if (!reader.open(path)) {
      state.SkipWithError("missing input");
      return;
    }
    std::string_view line;
    std::size_t lines = 0;
    while (reader.next(line)) {
      ++lines;
    }
    benchmark::DoNotOptimize(lines);
  }
  count_bytes(state, path);
}

// max_lines limits the std::regex runs on the adversarial files, where the
// regex engine needs milliseconds per line.
void match_lines(benchmark::State& state, const std::string& name, const elxr_line_matcher& m,
                 std::size_t max_lines) {
  const std::string path = input(name);
  std::size_t lines_read = 0;
  for (auto _ : state) {
    line_reader reader(2047);
    if (!reader.open(path)) {
      state.SkipWithError("missing input");
      return;
    }
    std::string_view line;
    elxr_line_match match;
    std::size_t matched = 0;
    lines_read = 0;
    while (lines_read < max_lines && reader.next(line)) {
      matched += m.match(line, match) ? 1 : 0;
      ++lines_read;
    }
    benchmark::DoNotOptimize(matched);
  }
  // Seconds per line, shown with an SI prefix (u = microseconds).
  state.counters["time_per_line"] = benchmark::Counter(
      static_cast<double>(lines_read),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

const elxr_line_matcher& tev2_matcher() {
  static const named_section_matcher matcher(c_map_file_elxr("").section_names());
  return matcher;
}
const elxr_line_matcher& tev2_regex() {
  static const regex_line_matcher matcher(
      named_section_matcher::regex_text(c_map_file_elxr("").section_names()));
  return matcher;
}
const elxr_line_matcher& mem32_matcher() {
  static const mem32_section_matcher matcher;
  return matcher;
}
const elxr_line_matcher& mem32_regex() {
  static const regex_line_matcher matcher(mem32_section_matcher::regex_text());
  return matcher;
}

void whole_report(benchmark::State& state, const std::string& keyword, const std::string& def,
                  const std::string& map) {
  for (auto _ : state) {
    std::ostringstream out;
    run_memory_report(input(map), input(def), keyword, out);
    benchmark::DoNotOptimize(out.str().size());
  }
  count_bytes(state, input(map));
}

constexpr std::size_t k_all_lines = ~std::size_t{0};

std::size_t regex_lines(const std::string& map) {
  return map.find("adversarial") != std::string::npos ? 200 : k_all_lines;
}

void register_all() {
  using benchmark::RegisterBenchmark;
  const auto ms = benchmark::kMillisecond;
  for (const char* map : {"typical.map", "sections.map", "adversarial_named.map"}) {
    RegisterBenchmark((std::string("floor/read_lines/") + map).c_str(), read_lines_only, map)
        ->Unit(ms);
    RegisterBenchmark((std::string("tev2/matcher/") + map).c_str(), match_lines, map,
                      std::cref(tev2_matcher()), k_all_lines)
        ->Unit(ms);
    RegisterBenchmark((std::string("tev2/std_regex/") + map).c_str(), match_lines, map,
                      std::cref(tev2_regex()), regex_lines(map))
        ->Unit(ms)
        ->Iterations(1);
  }
  for (const char* map : {"typical.map", "adversarial_mem32.map"}) {
    RegisterBenchmark((std::string("mem32/matcher/") + map).c_str(), match_lines, map,
                      std::cref(mem32_matcher()), k_all_lines)
        ->Unit(ms);
    RegisterBenchmark((std::string("mem32/std_regex/") + map).c_str(), match_lines, map,
                      std::cref(mem32_regex()), regex_lines(map))
        ->Unit(ms)
        ->Iterations(1);
  }
  RegisterBenchmark("report/Tev2/typical", whole_report, "Tev2", "typical.def", "typical.map")
      ->Unit(ms);
  RegisterBenchmark("report/Tev2/sections", whole_report, "Tev2", "sections.def", "sections.map")
      ->Unit(ms);
  RegisterBenchmark("report/Orm6/altium", whole_report, "Orm6", "altium.def", "altium.map")
      ->Unit(ms);
}

}  // namespace

int main(int argc, char** argv) {
  register_all();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
