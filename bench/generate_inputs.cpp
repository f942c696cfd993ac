// Writes large synthetic inputs for the benchmarks, always the same bytes for
// the same arguments (fixed seed):
//   typical        elxr listing, ~1 million lines, a few thousand sections
//                  among symbol tables and module lists
//   sections       elxr listing dense with sections and attribute lines,
//                  plus a definition file with several ranges and ten SEARCH lines
//   adversarial    2047-character near-miss lines for the named and the
//                  32-bit section-line shapes
//   altium         an Altium memory map of 100 000 rows
// usage: generate_inputs KIND OUTPUT_DIR [MEGABYTES]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

namespace {

const char* const k_names[] = {"text",  "rodata", "data",  "bss",     "sdata", "sbss",
                               "zdata", "zbss",   "tdata", "romdata", "stack", "intvect"};

std::string hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

void write_definition(const std::string& path, bool with_search) {
  std::ofstream out(path, std::ios::binary);
  out << "// synthetic target\n";
  out << "PROGRAM 0x00000000 0x00800000  // code flash bank 0\n";
  out << "PROGRAM 0x00800000 0x00800000  // code flash bank 1\n";
  out << "PROGRAM 0x01000000 0x01000000  // code flash bank 2\n";
  out << "MEMORY  0x02000000 0x00800000  // local RAM\n";
  out << "MEMORY  0x02800000 0x01800000  // global RAM\n";
  out << "EEPROM  0x03000000 0x00010000\n";
  if (with_search) {
    out << "SEARCH text\nSEARCH rodata\nSEARCH data !rodata\nSEARCH bss\nSEARCH |zdata |zbss\n"
           "SEARCH stack\nSEARCH intvect\nSEARCH tdata |sdata\nSEARCH romdata\nSEARCH module_7\n";
  }
}

// One section line and its attribute line, in the listing's columns.
void write_section(std::ofstream& out, unsigned index, const std::string& name, std::uint32_t size,
                   std::uint32_t address, const char* attributes = "ALLOC LOAD READONLY CODE") {
  char line[256];
  std::snprintf(line, sizeof line, "%5u %-24s %s %s %s %s %3u\n", index, name.c_str(),
                hex8(size).c_str(), hex8(address).c_str(), hex8(address).c_str(),
                hex8(index * 0x40u).c_str(), 4u);
  out << line << "        " << attributes << "\n";
}

void typical(const std::string& dir, std::uint64_t bytes) {
  write_definition(dir + "/typical.def", true);
  std::ofstream out(dir + "/typical.map", std::ios::binary);
  std::mt19937 rng_engine(20261208);
  const auto rng = [&rng_engine]() { return static_cast<unsigned>(rng_engine()); };
  out << "elxr: section listing of image firmware.elf\n\n";
  out << "Index Name                      Size     VMA      LMA      Offset   Align\n";
  std::uint32_t address = 0x00001000;
  for (unsigned i = 0; i < 3000; ++i) {
    const std::uint32_t size = 0x40 + rng() % 0x4000;
    write_section(out, i, std::string(".") + k_names[i % 12], size, address);
    address += size;
  }
  out << "\nSymbol table:\n";
  std::uint64_t written = static_cast<std::uint64_t>(out.tellp());
  unsigned line = 0;
  while (written < bytes) {
    char text[160];
    int n;
    if (line % 5 == 4) {
      n = std::snprintf(text, sizeof text, "  module_%u.o   %s  %u bytes   lib%u.a\n", line % 977,
                        hex8(rng()).c_str(), rng() % 5000, line % 31);
    } else {
      n = std::snprintf(text, sizeof text, "%7u  0x%s  0x%s  GLOBAL FUNC  _symbol_%u_%u\n", line,
                        hex8(rng()).c_str(), hex8(rng() % 4096).c_str(), line % 1931, rng() % 97);
    }
    out.write(text, n);
    written += static_cast<std::uint64_t>(n);
    ++line;
  }
}

void sections(const std::string& dir, std::uint64_t bytes) {
  write_definition(dir + "/sections.def", true);
  std::ofstream out(dir + "/sections.map", std::ios::binary);
  std::mt19937 rng_engine(4711);
  const auto rng = [&rng_engine]() { return static_cast<unsigned>(rng_engine()); };
  out << "elxr: section listing of image firmware.elf\n\n";
  std::uint32_t address = 0x00000100;
  std::uint64_t written = 0;
  for (unsigned i = 0; written < bytes; ++i) {
    const std::uint32_t size = 0x10 + rng() % 0x100;
    // Every 50th section lands in RAM, every 200th is a debug section.
    const bool ram = i % 50 == 0;
    write_section(out, i, std::string(i % 3 == 0 ? "_" : ".") + k_names[rng() % 12], size,
                  ram ? 0x42000000u + i * 0x100u : address,
                  i % 200 == 0 ? "NOLOAD DEBUGGING" : "ALLOC LOAD READONLY CODE");
    if (!ram) {
      address += size;
    }
    written = static_cast<std::uint64_t>(out.tellp());
  }
}

void adversarial(const std::string& dir) {
  write_definition(dir + "/adversarial.def", false);
  std::ofstream named(dir + "/adversarial_named.map", std::ios::binary);
  std::ofstream mem32(dir + "/adversarial_mem32.map", std::ios::binary);
  for (unsigned i = 0; i < 20000; ++i) {
    // Index, a long blank run, a near-miss name, and no address column.
    std::string line = std::to_string(i) + std::string(1900, ' ') + ".text";
    line += std::string(2047 - line.size() - 8, ' ') + "0000100";
    named << line << "\n";
    std::string punct = std::to_string(i) + " ";
    while (punct.size() < 2046) {
      punct += "._";
    }
    punct.resize(2046);
    mem32 << punct << "-\n";
  }
}

void altium(const std::string& dir) {
  std::ofstream def(dir + "/altium.def", std::ios::binary);
  def << "PROGRAM 0 800000\nMEMORY 800000 100000\nRESERVED 10 100\n";
  std::ofstream out(dir + "/altium.map", std::ios::binary);
  out << "Memory map of target\n\nName                            Start                 Length\n"
         "--------------------------------------------------------------------------\n";
  for (unsigned i = 0; i < 100000; ++i) {
    char line[128];
    const bool bit = i % 10 == 0;
    std::snprintf(line, sizeof line, "%-31s %06X %-14s %06X %s\n",
                  ("SEG_" + std::to_string(i) + " ......").c_str(),
                  bit ? 0x800000 + (i % 4096) : (i * 0x40) % 0x7FFFC0, "CODE    ROM", 0x20,
                  bit ? "BIT  BIT" : "BYTE");
    out << line;
  }
  out << "Number of symbols: 0\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: generate_inputs typical|sections|adversarial|altium DIR [MB]\n");
    return 2;
  }
  const std::string kind = argv[1];
  const std::string dir = argv[2];
  const std::uint64_t bytes = (argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 50) << 20;
  if (kind == "typical") {
    typical(dir, bytes);
  } else if (kind == "sections") {
    sections(dir, bytes);
  } else if (kind == "adversarial") {
    adversarial(dir);
  } else if (kind == "altium") {
    altium(dir);
  } else {
    std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
    return 2;
  }
  return 0;
}
