#pragma once

#include <cstdint>

#include "model/packing_attempt.h"

namespace varbex {

// The bound on the extra starts of a solve: they stop once their work reaches `limit`, and a
// start gives up once it can no longer beat `best`.
struct WorkBudget {
  std::int64_t spent = 0;  // work of the starts already ended, abandoned ones included
  std::int64_t limit = 0;  // three times the work of the first pass
  const PackingAttempt& best;
};

}  // namespace varbex
