// What a vemora::analysis holds: the internal result of the one analysis, as
// the programs make it, and the request's inputs for the reports' identities.
// The public accessors copy figures out of it; none computes them anew.
#pragma once

#include <optional>

#include "analysis/analysis.h"
#include "vemora/analysis.h"

namespace vemora::detail {

struct analysis_state {
  ::analysis_result result;
  map_format format = map_format::tev2;
  /// The inputs as requested; a text given by input::text() stays alive here.
  input definition;
  input map;
  std::optional<input> eeprom_source;

  static const analysis_state& of(const analysis& made) { return *made.m_state; }
};

}  // namespace vemora::detail
