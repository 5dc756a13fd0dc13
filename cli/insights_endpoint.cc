#include "insights_endpoint.h"

#include <nlohmann/json.hpp>

#include "insights_command.h"

namespace cli {
namespace {

using nlohmann::json;

std::string envelope(const std::string& message) {
  json body;
  body["error"] = message;
  body["success"] = false;
  return body.dump(-1, ' ', false, json::error_handler_t::replace);
}

// A member given as a JSON text is taken as it is; any other value is written out again, which
// keeps every number exactly (the library writes and reads shortest round-trip forms).
std::string textOf(const json& value) {
  return value.is_string() ? value.get<std::string>()
                           : value.dump(-1, ' ', false, json::error_handler_t::strict);
}

}  // namespace

EndpointAnswer answerInsights(const std::string& body) {
  const json document = json::parse(body, nullptr, false);
  if (document.is_discarded()) return {400, envelope("the body is not JSON")};
  if (!document.is_object() || !document.contains("request") || !document.contains("response")) {
    return {400, envelope("the body must be an object with \"request\" and \"response\"")};
  }
  bool ok = false;
  std::string text = insightsText(textOf(document["request"]), textOf(document["response"]), ok);
  return {ok ? 200 : 422, std::move(text)};
}

}  // namespace cli
