// What a vemora::analysis holds: the internal result of the one analysis, as
// the programs make it, and the request's inputs for the reports' identities.
// The public accessors copy figures out of it; none computes them anew.
#pragma once

#include <optional>

#include "analysis/analysis.h"
#include "memdef/definition_diagnostics.h"
#include "vemora/analysis.h"

namespace vemora::detail {

struct analysis_state {
  ::analysis_result result;
  map_format format = map_format::tev2;
  /// The inputs as requested; a text given by input::text() stays alive here.
  input definition;
  input map;
  std::optional<input> eeprom_source;
  bool keep_sections = true;  ///< whether result holds every section's fate

  static const analysis_state& of(const analysis& made) { return *made.m_state; }
};

/// The findings about a definition, from its file or its text.
::definition_diagnosis diagnosis_of(const input& definition);

}  // namespace vemora::detail
