#pragma once

#include <string>

#include <nlohmann/json_fwd.hpp>

#include "api/request_reader.h"
#include "insights/packed_response.h"

namespace varbex::insights {

// The insights of a response to a request: why each unplaced item found no place, how the items
// of each box stand, and a summary. Members are written in key order, numbers as the response
// writes them. Throws std::invalid_argument when the response cannot answer the request.
nlohmann::json insightsDocument(const PackingRequest& request, const PackedResponse& response);

// The same from the two texts, compact. A text that cannot be read throws std::invalid_argument
// whose message starts "request: " or "response: ".
std::string insightsText(const std::string& request, const std::string& response);

}  // namespace varbex::insights
