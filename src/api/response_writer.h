#pragma once

#include <string>

#include "solver/solver.h"

namespace varbex {

// The response document of a solve as compact text: boxes with their metrics and items, every
// placement again with its box, the unplaced items, and a summary. Metrics are computed while
// writing; members appear sorted by key, as a JSON object of sorted keys dumps them.
std::string responseText(const PackingOutcome& outcome);

}  // namespace varbex
