// The text pieces the diff and budget writers share: amounts (bits as
// eighths of a byte, so up to three decimals), signed deltas, percentages,
// and tables aligned for a terminal or written as Markdown. Each writer only
// formats figures its result model already holds.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace compare_text {

/// "1024", "64.125": a whole amount without decimals, else as many as its eighths need.
std::string amount(double value);
/// The same with a sign: "+44", "-8", "0".
std::string signed_amount(double value);
/// Two decimals ("37.50"), or "n/a" for none.
std::string percent(std::optional<double> value);
/// The same with a sign: "+17.19", "-2.00", "0.00".
std::string signed_percent(std::optional<double> value);
/// A JSON number: a whole amount as an integer, else its shortest double.
std::string json_amount(double value);

/// Text for a terminal: valid UTF-8 (other bytes as their Latin-1 character), control
/// characters as blanks, so that a name from a file cannot move the cursor or end a line.
std::string terminal_text(std::string_view text);

/// align holds 'l' or 'r' per column.
struct table {
  std::vector<std::string> header;
  std::string align;
  std::vector<std::vector<std::string>> rows;
};

/// Columns padded to their widest cell (counted in UTF-8 characters), two blanks apart.
void write_text_table(std::ostream& out, const table& rows);
/// A Markdown table; cells are written as they are (escape them first).
void write_markdown_table(std::ostream& out, const table& rows);

}  // namespace compare_text
