// What a vemora::analysis holds: the internal result of the one analysis, as
// the programs make it, and the request's inputs for the reports' identities.
// The public accessors copy figures out of it; none computes them anew.
#pragma once

#include <optional>

#include "analysis/analysis.h"
#include "text/input_source.h"
#include "vemora/analysis.h"

namespace vemora::detail {

struct analysis_state {
  ::analysis_result result;
  map_format format = map_format::tev2;
  /// The inputs as requested; a text given by input::text() stays alive here.
  input definition;
  input map;
  std::optional<input> eeprom_source;
  std::optional<input> elf;   ///< the image beside a listing
  bool keep_sections = true;  ///< whether result holds every section's fate

  /// The input the analysis read as the image: the map for map_format::elf,
  /// else the image beside the listing; nullptr for none.
  const input* image_input() const {
    return format == map_format::elf ? &map : elf ? &*elf : nullptr;
  }

  static const analysis_state& of(const analysis& made) { return *made.m_state; }
};

/// Why an image beside the map of map_format::elf, which is the image, is not read.
std::string image_beside_image_reason();

/// What the internal readers read for an input: its file, or its text.
inline ::input_source source_of(const input& given) { return {given.name(), given.bytes()}; }

}  // namespace vemora::detail
