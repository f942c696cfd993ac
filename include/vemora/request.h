// What one analysis reads: the format of the linker map, the memory
// definition, the map and, when wanted, the EEPROM project source and the
// linked ELF image beside a listing. Each input
// is a file by its path or a text in memory, so a caller that already holds
// its inputs never writes them to files. A request is a plain value.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vemora {

/// The map formats, one per type keyword of the programs.
enum class map_format {
  orm6,                  ///< "Orm6": Altium listings
  tev2,                  ///< "Tev2": elxr listings
  tev2_mem32_unlimited,  ///< "Tev2_mem32_unlimited": elxr, every section name taken
  orm8,                  ///< "Orm8": elxr with the Orm8 names
  pux4,                  ///< "Pux4": elxr of the PUX ECU 4x
  /// "Elf": the map is the linked ELF image itself; its allocated sections are
  /// the recognised ones and its symbols are attributed to the counted ones.
  /// The console program does not take this keyword; vemora-check does.
  elf,
};

/// The type keyword of a format, as the programs take it ("Tev2" ...).
std::string_view keyword(map_format format);
/// The format of a type keyword (compared exactly), or none for any other text.
std::optional<map_format> map_format_of(std::string_view keyword);

/// One input of an analysis: a file, or a text in memory. Reading a text
/// gives exactly what reading a file of the same bytes gives.
class input {
 public:
  /// No input: a request whose definition or map is this fails with the
  /// programs' "No ... file name." message.
  input() = default;

  /// The file at path, read when the analysis runs.
  static input file(std::string path);
  /// A text the input keeps (moved in, shared by copies of the input). name
  /// is what reports call it, e.g. the file it came from; it may be empty.
  static input text(std::string bytes, std::string name = {});
  /// A text the caller keeps: nothing is copied, and bytes must stay valid
  /// until every analyse() given this input has returned, and while a JSON or
  /// Markdown report that names this input by its own digest is written (a
  /// report_details identity for it lifts that). The analysis keeps no view
  /// of it in its figures.
  static input view(std::string_view bytes, std::string name = {});

  /// The path of a file, or the name of a text.
  const std::string& name() const { return m_name; }
  /// The bytes of a text; none for a file.
  std::optional<std::string_view> bytes() const { return m_bytes; }
  bool in_memory() const { return m_bytes.has_value(); }

 private:
  std::string m_name;
  std::optional<std::string_view> m_bytes;
  std::shared_ptr<const std::string> m_kept;  ///< what m_bytes views, for text()
};

/// One analysis to make.
struct request {
  map_format format = map_format::tev2;
  input definition;                    ///< the memory definition
  input map;                           ///< the linker map
  std::optional<input> eeprom_source;  ///< none: no EEPROM report
  /// The linked ELF image of a listing: its symbols are attributed to the
  /// listing's counted sections (analysis::symbols()). None: no image. With
  /// map_format::elf the map is the image, and an analysis given an image
  /// here as well fails (failed_step::image_not_read).
  std::optional<input> elf;
  /// Whether the analysis keeps every recognised section and its fate, in map
  /// order: analysis::sections(), the fates' sums and the sections of the
  /// JSON and CSV reports need it. Off, a large listing takes less memory.
  /// An analysis that reads an image keeps them whatever this says: its
  /// symbols are attributed to them.
  bool keep_sections = true;
};

}  // namespace vemora
