// How the readers of a report or budget file refuse it: a refusal names the
// key path of the first fault, and a text that is no JSON at all says where
// the parser stopped. Either way the caller gets one line for a terminal.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "compare/compare_text.h"

namespace json_refusal {

/// A file that cannot be used, with the place of its first fault.
struct refusal {
  std::string message;
};

[[noreturn]] inline void refuse(const std::string& path, const std::string& why) {
  throw refusal{path + ": " + why};
}

/// "is not valid JSON (parse error at line 1, ...)": nlohmann's
/// "[json.exception.parse_error.101] " prefix says nothing to a user.
std::string invalid_json_text(const nlohmann::json::exception& failure);

/// Runs read; true when it neither refused nor met invalid JSON, else error
/// holds why (keys from the file without their control characters).
template <class Read>
bool read_or_refuse(Read&& read, std::string& error) {
  try {
    read();
    return true;
  } catch (const refusal& refused) {
    error = compare_text::terminal_text(refused.message);
  } catch (const nlohmann::json::exception& failure) {
    error = invalid_json_text(failure);
  }
  return false;
}

}  // namespace json_refusal
