// The text pieces every report format is made of: UTF-8 that stays valid
// whatever bytes a map gives a name, JSON strings and numbers, CSV fields,
// Markdown cells and HTML text. Kept apart from the writers so each rule is tested alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// The length of the valid UTF-8 sequence at text[at] (1 to 4), or 0 when
/// the byte there does not begin one: overlong forms, surrogates and code
/// points above U+10FFFF are not valid.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at);

/// The text with every byte that is not part of valid UTF-8 read as Latin-1
/// and encoded as UTF-8 (0xE9 becomes U+00E9).
std::string utf8_with_latin1_fallback(std::string_view text);

/// A JSON string with its quotes: valid UTF-8 as it is, quote, backslash and
/// control characters escaped, and every byte that is not valid UTF-8 as
/// \u00XX of its Latin-1 reading.
std::string json_string(std::string_view text);
/// The same, appended to out.
void append_json_string(std::string& out, std::string_view text);

/// A JSON number, or null for none, NaN or infinity.
std::string json_number(std::optional<double> value);

/// A CSV field: quoted (quotes doubled) when it holds a comma, quote, CR or
/// LF; invalid UTF-8 as in utf8_with_latin1_fallback.
std::string csv_field(std::string_view text);

/// Markdown text that renders as it reads, also in a table cell or a
/// heading: "|" as "&#124;", "<" "&lt;", ">" "&gt;", "&" "&amp;", "`" "&#96;",
/// "\\" "&#92;", "*" "&#42;", "~" "&#126;", "[" "&#91;", "]" "&#93;", "_" "&#95;"
/// unless it stands between two letters or digits, CR and LF as blanks,
/// invalid UTF-8 as in utf8_with_latin1_fallback.
std::string markdown_cell(std::string_view text);

/// HTML text, also fit for a quoted attribute value: &, <, >, " and ' as
/// character references, invalid UTF-8 as in utf8_with_latin1_fallback, and
/// the control characters HTML has no use for (all below 0x20 but tab, LF and
/// CR, and 0x7F) as their visible pictures U+2400 to U+2421.
std::string html_text(std::string_view text);

/// A GitHub workflow command's message: % CR LF escaped as %25 %0D %0A.
std::string github_message(std::string_view text);
/// A workflow command's property value: also , and : escaped as %2C %3A.
std::string github_property(std::string_view text);

/// Bytes with bits as eighths: "1024", "64.125", as many decimals as the
/// eighths need ("0" for minus zero, "n/a" for NaN or infinity).
std::string amount_text(double value);
/// Two decimals ("37.50", "0.00" for minus zero), or "n/a" for none, NaN or infinity.
std::string percent_text(std::optional<double> value);

/// The count and its noun: "1 section", "0 sections", "2 sections".
std::string plural_text(std::uint64_t count, std::string_view one, std::string_view many);

/// "0x" and eight upper-case hexadecimal digits.
std::string hex_address(std::uint32_t address);
