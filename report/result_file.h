// The ambiguous search result file "Vemora.amb": one line per ambiguous match
// of an analysis, in the order they arose. It is written into a temporary
// file beside it that then replaces it in one step, so a run that stops
// half-way leaves the earlier file whole, never the new lines over its tail.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/search_accounting.h"

/// The file's lines: the object name, ": Found in [ ", the search text,
/// "] and in [ ", the earlier search text, "]".
void render_result_file(const search_breakdown& breakdown, std::ostream& out);

/// Makes path anew from what write puts into the stream it is given. The
/// text goes into a temporary file in path's folder, which then replaces
/// path. False, with path as it was and no temporary file left behind, when
/// path names one of inputs (an input is never replaced, whatever its name),
/// or the temporary file cannot be made, or the stream has failed when write
/// returns.
bool replace_file_with(const std::string& path, const std::vector<std::string>& inputs,
                       const std::function<void(std::ostream&)>& write);

/// replace_file_with() with the breakdown's lines.
bool write_result_file(const search_breakdown& breakdown, const std::string& path,
                       const std::vector<std::string>& inputs);
