// Where the bytes of one input come from: a file named by its path, or a text
// the caller already holds in memory. Readers take either the same way, so a
// caller that holds its inputs never writes them to files first; a text is
// viewed, not copied, and must outlive every reader opened on it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct input_source {
  /// The file to read; for a text in memory only the name it goes by.
  std::string path;
  /// When set, the bytes themselves: the path is then not opened.
  std::optional<std::string_view> text;

  input_source() = default;
  input_source(std::string file_path) : path(std::move(file_path)) {}  // NOLINT: a path is a source
  input_source(const char* file_path) : path(file_path) {}             // NOLINT: a path is a source
  input_source(std::string name, std::optional<std::string_view> bytes)
      : path(std::move(name)), text(bytes) {}

  /// A text held in memory, going by name (which may be empty).
  static input_source in_memory(std::string_view bytes, std::string name = {}) {
    return {std::move(name), bytes};
  }

  bool in_memory() const { return text.has_value(); }
  /// Whether there is anything to read: a text, or a path that is not empty.
  bool given() const { return text.has_value() || !path.empty(); }
};
