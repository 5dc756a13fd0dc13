#pragma once

#include <string>

// The insights from the tool: `varbex insights`, and the document that `solve --insights` and the
// report pages add, all through libvarbex_insights.
namespace cli {

// The insights document of a response to a request, or the error envelope when either cannot be
// read; `ok` tells which.
std::string insightsText(const std::string& request, const std::string& response, bool& ok);

// `varbex insights REQUEST.json RESPONSE.json [-o FILE]`, with argv[1] == "insights".
int insightsCommand(int argc, char** argv);

}  // namespace cli
