#include "compare/json_refusal.h"

namespace json_refusal {

std::string invalid_json_text(const nlohmann::json::exception& failure) {
  std::string why = failure.what();
  const std::size_t end = why.find("] ");
  if (why.rfind("[json.exception.", 0) == 0 && end != std::string::npos) {
    why.erase(0, end + 2);
  }
  return "is not valid JSON (" + why + ")";
}

}  // namespace json_refusal
