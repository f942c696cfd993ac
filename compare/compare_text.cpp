#include "compare/compare_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "formats/format_text.h"

namespace compare_text {

std::string amount(double value) { return amount_text(value); }

std::string signed_amount(double value) {
  const std::string text = amount(value);
  return value > 0 && text != "0" ? "+" + text : text;
}

std::string percent(std::optional<double> value) { return percent_text(value); }

std::string signed_percent(std::optional<double> value) {
  const std::string text = percent(value);
  return value && *value > 0 && text != "0.00" ? "+" + text : text;
}

std::string json_amount(double value) {
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 9.007e15) {
    return std::to_string(static_cast<long long>(value));
  }
  return json_number(value);
}

std::string terminal_text(std::string_view text) {
  std::string out = utf8_with_latin1_fallback(text);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      c = ' ';
    }
  }
  return out;
}

namespace {
std::size_t width(const std::string& text) {
  std::size_t characters = 0;
  for (const char c : text) {
    characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  }
  return characters;
}
}  // namespace

void write_text_table(std::ostream& out, const table& rows) {
  std::vector<std::size_t> widths(rows.header.size(), 0);
  const auto measure = [&widths](const std::vector<std::string>& row) {
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      widths[i] = std::max(widths[i], width(row[i]));
    }
  };
  measure(rows.header);
  for (const std::vector<std::string>& row : rows.rows) {
    measure(row);
  }
  const auto line = [&](const std::vector<std::string>& row) {
    std::string text;
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
      const std::string padding(widths[i] - width(row[i]), ' ');
      const bool right = i < rows.align.size() && rows.align[i] == 'r';
      text += (i == 0 ? "" : "  ") + (right ? padding + row[i] : row[i] + padding);
    }
    while (!text.empty() && text.back() == ' ') {
      text.pop_back();
    }
    out << text << '\n';
  };
  line(rows.header);
  for (const std::vector<std::string>& row : rows.rows) {
    line(row);
  }
}

void write_markdown_table(std::ostream& out, const table& rows) {
  out << '|';
  for (const std::string& cell : rows.header) {
    out << ' ' << cell << " |";
  }
  out << "\n|";
  for (std::size_t i = 0; i < rows.header.size(); ++i) {
    out << (i < rows.align.size() && rows.align[i] == 'r' ? "---:|" : "---|");
  }
  out << '\n';
  for (const std::vector<std::string>& row : rows.rows) {
    out << '|';
    for (const std::string& cell : row) {
      out << ' ' << cell << " |";
    }
    out << '\n';
  }
}

}  // namespace compare_text
