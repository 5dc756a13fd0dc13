#pragma once

#include <string>

// POST /v1/insights as a plain function, free of any HTTP library: the body in, the status and
// the JSON body out.
namespace cli {

struct EndpointAnswer {
  int status;        // 200, 400 for a body that is not {"request": ..., "response": ...}, 422
                     // for a request or response that cannot be read
  std::string body;  // the insights document, or an envelope {"error": ..., "success": false}
};

// `body` is {"request": R, "response": S}, each a JSON value or a JSON text in a string.
EndpointAnswer answerInsights(const std::string& body);

}  // namespace cli
