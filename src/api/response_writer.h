#pragma once

#include <string>

#include <nlohmann/json_fwd.hpp>

#include "solver/solver.h"

namespace varbex {

// The response document of a solve: boxes with their metrics and items, every placement again
// with its box, the unplaced items, and a summary. Metrics are computed while writing.
nlohmann::json writeResponse(const PackingOutcome& outcome);

// writeResponse dumped with the given indentation (negative: compact), UTF-8 written as is, and
// invalid UTF-8 refused.
std::string responseText(const PackingOutcome& outcome, int indent);

}  // namespace varbex
