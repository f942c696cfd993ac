#include "formats/format_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace {
bool is_continuation(std::string_view text, std::size_t at, unsigned char low = 0x80,
                     unsigned char high = 0xBF) {
  if (at >= text.size()) {
    return false;
  }
  const auto byte = static_cast<unsigned char>(text[at]);
  return byte >= low && byte <= high;
}

void append_latin1(std::string& out, unsigned char byte) {
  out += static_cast<char>(0xC0 | (byte >> 6));
  out += static_cast<char>(0x80 | (byte & 0x3F));
}
}  // namespace

std::size_t utf8_sequence_length(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) {
    return 1;
  }
  // The second byte's range rules out overlong forms, surrogates and code
  // points beyond U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (!is_continuation(text, at + 1, low, high)) {
    return 0;
  }
  for (std::size_t i = 2; i < length; ++i) {
    if (!is_continuation(text, at + i)) {
      return 0;
    }
  }
  return length;
}

std::string utf8_with_latin1_fallback(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = utf8_sequence_length(text, at);
    if (length == 0) {
      append_latin1(out, static_cast<unsigned char>(text[at]));
      ++at;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  return out;
}

std::string json_string(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  append_json_string(out, text);
  return out;
}

void append_json_string(std::string& out, std::string_view text) {
  static const char* const k_hex = "0123456789abcdef";
  out += '"';
  // Most names are plain ASCII without quotes: those go in one piece.
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\';
  });
  if (plain) {
    out.append(text);
    out += '"';
    return;
  }
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = utf8_sequence_length(text, at);
    if (length > 1) {
      out.append(text, at, length);
      at += length;
      continue;
    }
    ++at;
    if (byte == '"') {
      out += "\\\"";
    } else if (byte == '\\') {
      out += "\\\\";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F || length == 0) {
      // A byte that is not UTF-8 stands for its Latin-1 character.
      out += "\\u00";
      out += k_hex[byte >> 4];
      out += k_hex[byte & 0x0F];
    } else {
      out += static_cast<char>(byte);
    }
  }
  out += '"';
}

std::string json_number(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    return "null";
  }
  // nlohmann's shortest form that reads back as the same double.
  return nlohmann::json(*value).dump();
}

std::string csv_field(std::string_view text) {
  const std::string valid = utf8_with_latin1_fallback(text);
  if (valid.find_first_of(",\"\r\n") == std::string::npos) {
    return valid;
  }
  std::string out = "\"";
  for (const char c : valid) {
    if (c == '"') {
      out += '"';
    }
    out += c;
  }
  out += '"';
  return out;
}

std::string markdown_cell(std::string_view text) {
  // Entities rather than backslashes: a backslash of the name itself would
  // cancel "\|" ("a\\|b" splits the cell), while "&#124;" holds no bar at
  // all, and a comment renders "<b>" as text, never as markup. The name's own
  // backslash is an entity too, or it would make the "&" of the next entity
  // plain text. Symbol names hold "*", "_", "~" and "[abi:cxx11]()": no
  // emphasis, strike-through or link may come of them, and "_" inside a word
  // (a_b) is no emphasis already.
  const std::string valid = utf8_with_latin1_fallback(text);
  const auto word = [&valid](std::size_t at) {
    if (at >= valid.size()) {
      return false;
    }
    const char c = valid[at];
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  std::string out;
  for (std::size_t at = 0; at < valid.size(); ++at) {
    const char c = valid[at];
    if (c == '|') {
      out += "&#124;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '&') {
      out += "&amp;";
    } else if (c == '`') {
      out += "&#96;";
    } else if (c == '\\') {
      out += "&#92;";
    } else if (c == '*') {
      out += "&#42;";
    } else if (c == '~') {
      out += "&#126;";
    } else if (c == '[') {
      out += "&#91;";
    } else if (c == ']') {
      out += "&#93;";
    } else if (c == '_' && !(at > 0 && word(at - 1) && word(at + 1))) {
      out += "&#95;";
    } else if (c == '\r' || c == '\n') {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

namespace {
/// Text of a GitHub workflow command: % CR LF escaped, and in a property , and : as well.
std::string escaped(std::string_view text, bool property) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '%') {
      out += "%25";
    } else if (c == '\r') {
      out += "%0D";
    } else if (c == '\n') {
      out += "%0A";
    } else if (property && c == ':') {
      out += "%3A";
    } else if (property && c == ',') {
      out += "%2C";
    } else {
      out += c;
    }
  }
  return out;
}
}  // namespace

std::string github_message(std::string_view text) { return escaped(text, false); }

std::string github_property(std::string_view text) { return escaped(text, true); }

std::string html_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : utf8_with_latin1_fallback(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else if (c == '\'') {
      out += "&#39;";
    } else if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F) {
      // U+2400 + byte (U+2421 for DEL) in UTF-8: E2 90 80+.
      const unsigned picture = byte == 0x7F ? 0x21 : byte;
      out += "\xE2\x90";
      out += static_cast<char>(0x80 | picture);
    } else {
      out += c;
    }
  }
  return out;
}

std::string amount_text(double value) {
  if (!std::isfinite(value)) {
    return "n/a";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", value);
  std::string out = text;
  while (out.back() == '0') {
    out.pop_back();
  }
  if (out.back() == '.') {
    out.pop_back();
  }
  return out == "-0" ? "0" : out;
}

std::string percent_text(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) {
    return "n/a";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", *value);
  const std::string out = text;
  return out == "-0.00" ? "0.00" : out;
}

std::string plural_text(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string hex_address(std::uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(address));
  return text;
}
