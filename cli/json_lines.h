#pragma once

#include <string>
#include <vector>

// JSON Lines input, shared by `varbex batch` and the service's batch endpoint.
namespace cli {

// One entry per line; a final line end does not start another line, and a "\r" before "\n" is
// dropped. Blank lines stay, so that output line k always answers input line k.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace cli
