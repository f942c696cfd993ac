// Bad input end to end: empty files, binary garbage, NUL bytes, very long
// lines, directories and unreadable files as inputs, CR-only line ends, huge
// definition files and maps. Each run goes through the entry point in-process
// and must give the stated message and exit code, or a report. Every run also
// checks that no input changed and that nothing but "Vemora.amb" was written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/run_app.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

const char* const k_keywords[] = {"Orm6", "Tev2", "Tev2_mem32_unlimited", "Orm8", "Pux4"};

const std::string k_definition = "PROGRAM 0x0 0x10000\nMEMORY 0x400000 0x10000\n";

// .text lies in the program range, .bss in the memory range.
const std::string k_map =
    "  1 .text 00000100 00000200 x\n  CODE\n  2 .bss 00000010 00400000 x\n  ALLOC\n";

// The same two sections as an Altium memory map (start at offset 32, length
// at offset 54).
const std::string k_altium_map =
    "Memory map of module firmware\n\nName    Start    End    Length\n------\n"
    "TEXT ...........................000200H               000100H  CODE\n"
    "BSS ............................400000H               000010H  DATA\n"
    "Number of symbols: 2\n";

const std::string k_eep =
    "; EEPROM project source\n_RuxEep_nOnceDataSize\n    0x123,\n"
    "_RuxEep_nTrippleDataSize\n    0x10,\n_RuxEep_nOnceDataFree\n    0x2DD,\n"
    "_RuxEep_nTrippleDataFree\n    0x30,\n";

// The memory report of k_definition with k_map (or k_altium_map).
const std::string k_report =
    "************************************\n"
    "*       Vemora Memory Report       *\n"
    "*       In [Byte]                  *\n"
    "*       With 8-Bit / Byte          *\n"
    "************************************\n"
    "\n"
    "Average module, Mem area:   16.00\n"
    "Average module, Prg area:  256.00\n"
    "\n"
    "Mem area used:      16\n"
    "Bit area used:       0\n"
    "Prg area used:     256\n"
    "\n"
    "Memory area:\n"
    "Total:        65536\n"
    "Pct Used:         0.02%\n"
    "Free:         65520.00\n"
    "Used:            16.00\n"
    "\n"
    "Program area:\n"
    "Total:        65536\n"
    "Pct Used:         0.39%\n"
    "Free:         65280.00\n"
    "Used:           256.00\n"
    "\n"
    "\n"
    "  Prg seg0:     Used      256, Free    65280, Total   65536, Pct Used    0.39%\n"
    "\n";

// The EEP size report of k_eep after a printed memory report.
const std::string k_eep_report =
    "\n"
    "EEP size analyze: \n"
    "\n"
    "  Total:     1216\n"
    "  Pct Used:  27.88%\n"
    "  used:      339\n"
    "  Free:      877\n"
    "\n"
    "Once Data: \n"
    "  Total:     1024\n"
    "  Pct Used:  28.42%\n"
    "  Used:      291\n"
    "  Free:      733\n"
    "\n"
    "Tripple Data:\n"
    "  Total:     192\n"
    "  Pct Used:  25.00%\n"
    "  Used:      48\n"
    "  Free:      144\n"
    "\n";

const std::string k_invalid_definition = "Vemora:\tInvalid memory definition file.\n";
const std::string k_invalid_map = "Vemora:\tInvalid memory map file.\n";
const std::string k_eep_failed = "File end\nerror in the analyze EEP size: \n";

struct run_result {
  int code = 0;
  std::string output;  ///< what follows the banner and its empty line
};

/// Deterministic bytes of every value, line feeds and NULs included.
std::string garbage(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return bytes;
}

class BadInput : public testing::Test {
 protected:
  /// Writes a file into the test folder; returns its path.
  std::string write(const std::string& name, const std::string& bytes) {
    return m_dir.write(name, bytes);
  }

  /// A subfolder of the test folder; returns its path.
  std::string folder(const std::string& name) {
    fs::create_directory(m_dir.file(name));
    return m_dir.file(name);
  }

  /// Runs the entry point with argument 0 "vemora" and the given arguments,
  /// and checks that every entry of the test folder is as before and that
  /// "Vemora.amb" is the only new one.
  run_result run(const std::vector<std::string>& arguments) {
    const std::map<std::string, std::string> before = snapshot();
    std::vector<std::string> texts = {"vemora"};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<const char*> argv;
    for (const std::string& text : texts) {
      argv.push_back(text.c_str());
    }
    std::ostringstream out;
    run_result result;
    result.code = run_app(static_cast<int>(argv.size()), argv.data(), out);

    std::ostringstream banner;
    print_version_banner("vemora", banner);
    const std::string head = banner.str() + "\n";
    const std::string text = out.str();
    EXPECT_EQ(text.substr(0, head.size()), head);
    result.output = text.substr(std::min(head.size(), text.size()));

    const std::map<std::string, std::string> after = snapshot();
    for (const auto& [name, bytes] : before) {
      const auto now = after.find(name);
      EXPECT_TRUE(now != after.end()) << name << " disappeared";
      if (now != after.end()) {
        EXPECT_TRUE(now->second == bytes) << name << " was changed";
      }
    }
    for (const auto& entry : after) {
      EXPECT_TRUE(before.count(entry.first) == 1 || entry.first == "Vemora.amb")
          << entry.first << " was written";
    }
    return result;
  }

  test_support::scoped_temp_dir m_dir;

 private:
  /// Every entry below the test folder with its bytes ("<dir>" for a folder,
  /// "<unreadable>" for a file that cannot be read).
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_dir.path())) {
      const std::string name = fs::relative(entry.path(), m_dir.path()).generic_string();
      if (entry.is_directory()) {
        entries[name] = "<dir>";
        continue;
      }
      std::error_code ec;
      const fs::perms perms = fs::status(entry.path(), ec).permissions();
      if ((perms & fs::perms::owner_read) == fs::perms::none) {
        entries[name] = "<unreadable>" + std::to_string(fs::file_size(entry.path(), ec));
      } else {
        entries[name] = test_support::read_file(entry.path().string());
      }
    }
    return entries;
  }
};

TEST_F(BadInput, EmptyFiles) {
  const std::string empty = write("empty.txt", "");
  const std::string definition = write("memory.def", k_definition);
  const std::string map = write("firmware.map", k_map);
  const std::string eep = write("EepPrj.src", k_eep);

  run_result r = run({"Tev2", empty, map});
  EXPECT_EQ(r.code, -3);
  EXPECT_EQ(r.output, k_invalid_definition);

  // No section in any range: no report, still a success.
  for (const char* keyword : k_keywords) {
    r = run({keyword, definition, empty});
    EXPECT_EQ(r.code, 0) << keyword;
    EXPECT_EQ(r.output, "") << keyword;
  }

  r = run({"Tev2", definition, map, empty});
  EXPECT_EQ(r.code, -4);
  EXPECT_EQ(r.output, k_report + k_eep_failed);

  // Sanity: the good inputs give both reports.
  r = run({"Tev2", definition, map, eep});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, k_report + k_eep_report);
  r = run({"Orm6", definition, write("altium.map", k_altium_map), eep});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, k_report + k_eep_report);
}

TEST_F(BadInput, BinaryGarbage) {
  const std::string noise = garbage(1 << 16, 7);
  const std::string junk = write("junk.bin", noise);
  const std::string definition = write("memory.def", k_definition);
  const std::string map = write("firmware.map", k_map);

  run_result r = run({"Tev2", junk, map});
  EXPECT_EQ(r.code, -3);
  EXPECT_EQ(r.output, k_invalid_definition);
  for (const char* keyword : k_keywords) {
    r = run({keyword, definition, junk});
    EXPECT_EQ(r.code, 0) << keyword;
    EXPECT_EQ(r.output, "") << keyword;
  }
  r = run({"Tev2", definition, map, junk});
  EXPECT_EQ(r.code, -4);
  EXPECT_EQ(r.output, k_report + k_eep_failed);

  // Garbage around the real lines changes nothing.
  const std::string noisy_definition =
      write("noisy.def", noise + "\n" + k_definition + garbage(1 << 16, 8));
  const std::string noisy_map = write("noisy.map", noise + "\n" + k_map + garbage(1 << 16, 9));
  const std::string noisy_eep =
      write("noisy.src", noise + "\n" + k_eep.substr(k_eep.find('\n') + 1) + garbage(4096, 10));
  r = run({"Tev2", noisy_definition, noisy_map, noisy_eep});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, k_report + k_eep_report);
}

TEST_F(BadInput, NulBytes) {
  using namespace std::string_literals;
  const std::string nuls = write("nuls.bin", std::string(4096, '\0'));
  const std::string definition = write("memory.def", k_definition);
  const std::string map = write("firmware.map", k_map);

  run_result r = run({"Tev2", nuls, map});
  EXPECT_EQ(r.code, -3);
  EXPECT_EQ(r.output, k_invalid_definition);
  for (const char* keyword : k_keywords) {
    r = run({keyword, definition, nuls});
    EXPECT_EQ(r.code, 0) << keyword;
    EXPECT_EQ(r.output, "") << keyword;
  }
  r = run({"Tev2", definition, map, nuls});
  EXPECT_EQ(r.code, -4);
  EXPECT_EQ(r.output, k_report + k_eep_failed);

  // A NUL ends a line's text: what stands behind it is never seen.
  const std::string cut_definition = write("cut.def",
                                           "PROGRAM 0x0 0x10000\0MEMORY 0x0 0x1\n"
                                           "MEMORY 0x400000 0x10000\0 // PROGRAM 0 1\n"s);
  const std::string cut_map = write("cut.map",
                                    "  1 .text 00000100 00000200 x\0 garbage\n  CODE\n"
                                    "  3 .data 00000010\0 00400010 x\n  DATA\n"
                                    "  2 .bss 00000010 00400000 x\n  ALLOC\0 DEBUGGING\n"s);
  const std::string cut_eep =
      write("cut.src",
            "x\n_RuxEep_nOnceDataSize\0,\n    0x123,\n"
            "_RuxEep_nTrippleDataSize\n    0x10,\0 0x20\n_RuxEep_nOnceDataFree\n"
            "    0x2DD,\n_RuxEep_nTrippleDataFree\n    0x30,\n"s);
  r = run({"Tev2", cut_definition, cut_map, cut_eep});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, k_report + k_eep_report);
}

TEST_F(BadInput, TenMegabyteLines) {
  const std::string ten_mb(10u << 20, 'y');
  const std::string definition = write("memory.def", k_definition);
  const std::string map = write("firmware.map", k_map);

  // One line of 10 MB and no line feed at all, as each input.
  const std::string single = write("single.txt", ten_mb);
  run_result r = run({"Tev2", single, map});
  EXPECT_EQ(r.code, -3);
  EXPECT_EQ(r.output, k_invalid_definition);
  for (const char* keyword : k_keywords) {
    r = run({keyword, definition, single});
    EXPECT_EQ(r.code, 0) << keyword;
    EXPECT_EQ(r.output, "") << keyword;
  }
  r = run({"Tev2", definition, map, single});
  EXPECT_EQ(r.code, -4);
  EXPECT_EQ(r.output, k_report + k_eep_failed);

  // A long line is cut at the buffer's length and reading goes on behind it;
  // a NUL ends its text even when the line spans several read blocks.
  const std::string long_definition =
      write("long.def", "PROGRAM 0x0 0x10000 " + ten_mb + "\nMEMORY 0x400000 0x10000\n");
  const std::string long_map = write(
      "long.map", ten_mb + "\n  1 .text 00000100 00000200 x" + std::string("\0\r", 2) + ten_mb +
                      "\n  CODE\n  2 .bss 00000010 00400000 x\n  ALLOC " + ten_mb + "\n");
  const std::string long_eep =
      write("long.src", "x\n" + ten_mb + "\n_RuxEep_nOnceDataSize\n    0x123," + ten_mb +
                            k_eep.substr(k_eep.find("\n_RuxEep_nTrippleDataSize")));
  r = run({"Tev2", long_definition, long_map, long_eep});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, k_report + k_eep_report);

  const std::string long_altium =
      write("long_altium.map", "Memory map " + ten_mb + "\n\n" + ten_mb + "\n------\n" + ten_mb +
                                   "...\n" + k_altium_map.substr(k_altium_map.find("TEXT")));
  r = run({"Orm6", long_definition, long_altium});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, k_report);
}

TEST_F(BadInput, DirectoryAsInput) {
  const std::string dir = folder("a_folder");
  const std::string definition = write("memory.def", k_definition);
  const std::string map = write("firmware.map", k_map);

  run_result r = run({"Tev2", dir, map});
  EXPECT_EQ(r.code, -3);
  EXPECT_EQ(r.output, k_invalid_definition);
  for (const char* keyword : k_keywords) {
    r = run({keyword, definition, dir});
    EXPECT_EQ(r.code, -3) << keyword;
    EXPECT_EQ(r.output, k_invalid_map) << keyword;
  }
  r = run({"Tev2", dir, dir});
  EXPECT_EQ(r.code, -3);
  EXPECT_EQ(r.output, k_invalid_definition + k_invalid_map);
  r = run({"Tev2", definition, map, dir});
  EXPECT_EQ(r.code, -4);
  EXPECT_EQ(r.output, k_report + "Vemora:\tInvalid eep file.\n");
}

TEST_F(BadInput, UnreadableFile) {
#ifdef _WIN32
  GTEST_SKIP() << "read permissions are POSIX file modes";
#else
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root reads files without read permission";
  }
  const std::string secret = write("secret.txt", k_definition);
  fs::permissions(secret, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                  fs::perm_options::remove);
  const std::string definition = write("memory.def", k_definition);
  const std::string map = write("firmware.map", k_map);

  run_result r = run({"Tev2", secret, map});
  EXPECT_EQ(r.code, -3);
  EXPECT_EQ(r.output, k_invalid_definition);
  for (const char* keyword : k_keywords) {
    r = run({keyword, definition, secret});
    EXPECT_EQ(r.code, -3) << keyword;
    EXPECT_EQ(r.output, k_invalid_map) << keyword;
  }
  r = run({"Tev2", secret, secret});
  EXPECT_EQ(r.code, -3);
  EXPECT_EQ(r.output, k_invalid_definition + k_invalid_map);
  r = run({"Tev2", definition, map, secret});
  EXPECT_EQ(r.code, -4);
  EXPECT_EQ(r.output, k_report + "Vemora:\tInvalid eep file.\n");
#endif
}

TEST_F(BadInput, CarriageReturnOnlyLineEnds) {
  // A carriage return alone ends no line: each file is a single line.
  const auto cr_only = [](std::string text) {
    for (char& c : text) {
      if (c == '\n') {
        c = '\r';
      }
    }
    return text;
  };
  const std::string definition = write("memory.def", k_definition);
  const std::string map = write("firmware.map", k_map);

  // One PROGRAM line: its second number ends at the carriage return, and the
  // MEMORY behind it is never a line of its own, so .bss lies in no range.
  run_result r = run({"Tev2", write("cr.def", cr_only(k_definition)), map});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output,
            "************************************\n"
            "*       Vemora Memory Report       *\n"
            "*       In [Byte]                  *\n"
            "*       With 8-Bit / Byte          *\n"
            "************************************\n"
            "\n"
            "Average module, Mem area:    0.00\n"
            "Average module, Prg area:  256.00\n"
            "\n"
            "Mem area used:       0\n"
            "Bit area used:       0\n"
            "Prg area used:     256\n"
            "\n"
            "Memory area:\n"
            "Total:            0\n"
            "Pct Used:         0.00%\n"
            "Free:             0.00\n"
            "Used:             0.00\n"
            "\n"
            "Program area:\n"
            "Total:        65536\n"
            "Pct Used:         0.39%\n"
            "Free:         65280.00\n"
            "Used:           256.00\n"
            "\n"
            "\n"
            "  Prg seg0:     Used      256, Free    65280, Total   65536, Pct Used    0.39%\n"
            "\n");

  // The section line would have to end the line: no section, no report.
  r = run({"Tev2", definition, write("cr.map", cr_only(k_map))});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, "");
  r = run({"Orm6", definition, write("cr_altium.map", cr_only(k_altium_map))});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, "");
  // The first line is never tested, and there is no other.
  r = run({"Tev2", definition, map, write("cr.src", cr_only(k_eep))});
  EXPECT_EQ(r.code, -4);
  EXPECT_EQ(r.output, k_report + k_eep_failed);
}

TEST_F(BadInput, HundredThousandRanges) {
  // Ranges of 16 bytes side by side; .text fills range 2, .bss straddles
  // ranges 1 and 2 and so lies in none of them.
  std::string ranges;
  char line[64];
  for (unsigned i = 0; i < 100000; ++i) {
    std::snprintf(line, sizeof line, "PROGRAM %x0 10\n", i);
    ranges += line;
  }
  const std::string map = write("firmware.map",
                                "  1 .text 00000010 00000020 x\n  CODE\n"
                                "  2 .bss 00000010 00000018 x\n  ALLOC\n");

  run_result r = run({"Tev2", write("side_by_side.def", ranges), map});
  EXPECT_EQ(r.code, 0);
  std::size_t range_lines = 0;
  for (std::size_t pos = r.output.find("  Prg seg"); pos != std::string::npos;
       pos = r.output.find("  Prg seg", pos + 1)) {
    ++range_lines;
  }
  EXPECT_EQ(range_lines, 100000u);
  EXPECT_NE(r.output.find("Prg area used:      16\n"), std::string::npos);
  EXPECT_NE(r.output.find("Total:      1600000\n"), std::string::npos);
  EXPECT_NE(r.output.find("\n  Prg seg1:     Used        0, Free       16, Total      16, "
                          "Pct Used    0.00%\n  Prg seg2:     Used       16, Free        0, "
                          "Total      16, Pct Used  100.00%\n"),
            std::string::npos);

  // One more range over all of them: .bss now lies in it, .text still in
  // range 2, the first that holds it.
  r = run({"Tev2", write("covered.def", ranges + "PROGRAM 0 100000\n"), map});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.output.find("Prg area used:      32\n"), std::string::npos);
  EXPECT_NE(r.output.find("\n  Prg seg2:     Used       16, Free        0, "
                          "Total      16, Pct Used  100.00%\n"),
            std::string::npos);
  EXPECT_NE(r.output.find("\n  Prg seg100000:     Used       16, Free  1048560, Total 1048576, "
                          "Pct Used    0.00%\n\n"),
            std::string::npos);
}

TEST_F(BadInput, MillionSectionsInOneRange) {
  // 1 000 000 sections of 16 bytes, listed in a scrambled order; no SEARCH
  // entry matches any of them.
  std::string listing;
  listing.reserve(32u << 20);
  char line[64];
  for (unsigned i = 0; i < 1000000; ++i) {
    const unsigned slot = static_cast<unsigned>((i * 7919ull) % 1000000);
    std::snprintf(line, sizeof line, "%u .text 10 %x x\nA\n", i, slot * 16);
    listing += line;
  }
  const std::string map = write("huge.map", listing);
  const std::string definition = write("memory.def", "PROGRAM 0 1000000\nSEARCH nomatch\n");

  const run_result r = run({"Tev2", definition, map});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output,
            "************************************\n"
            "*       Vemora Memory Report       *\n"
            "*       In [Byte]                  *\n"
            "*       With 8-Bit / Byte          *\n"
            "************************************\n"
            "\n"
            "Average module, Mem area:    0.00\n"
            "Average module, Prg area:   16.00\n"
            "\n"
            "Mem area used:       0\n"
            "Bit area used:       0\n"
            "Prg area used: 16000000\n"
            "\n"
            "Memory area:\n"
            "Total:            0\n"
            "Pct Used:         0.00%\n"
            "Free:             0.00\n"
            "Used:             0.00\n"
            "\n"
            "Program area:\n"
            "Total:     16777216\n"
            "Pct Used:        95.37%\n"
            "Free:        777216.00\n"
            "Used:      16000000.00\n"
            "\n"
            "\n"
            "  Prg seg0:     Used  16000000, Free   777216, Total 16777216, Pct Used   95.37%\n"
            "\n"
            "Program breakdown:\n"
            "      0 :    0.00% , Search = nomatch \n"
            "---------------------------------------\n"
            "0\tAccounted for in search: 0.00%\n"
            "\n");
}

TEST_F(BadInput, InputsNamedLikeTheResultFile) {
  // Two entries claim .text: the run has an ambiguous match to write down,
  // but the EEPROM source stands where the result file would go.
  const std::string definition = write("memory.def", k_definition + "SEARCH text\nSEARCH |tex\n");
  const std::string map = write("firmware.map", k_map);
  const std::string eep = write("Vemora.amb", k_eep);
  const std::string result_file = m_dir.file("Vemora.amb");
  const std::string breakdown =
      "Program breakdown:\n"
      "    256 :  100.00% , Search = text \n"
      "      0 :    0.00% , Search = |tex \n"
      "---------------------------------------\n"
      "256\tAccounted for in search: 100.00%\n"
      "\n"
      "Warning: Ambiguous search with 256 = 100.00% found and removed from multiple counting. "
      "See ambiguous search result file in " +
      result_file + ".\nVemora:\tCould not write the ambiguous search result file " + result_file +
      ".\n\n";

  run_result r = run({"Tev2", definition, map, eep});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, k_report + breakdown + k_eep_report);

  // The same with the definition file, and with the map file itself.
  fs::remove(eep);
  fs::rename(definition, result_file);
  r = run({"Tev2", result_file, map});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, k_report + breakdown);

  fs::rename(result_file, definition);
  fs::rename(map, result_file);
  r = run({"Tev2", definition, result_file});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.output, k_report + breakdown);
}

}  // namespace
