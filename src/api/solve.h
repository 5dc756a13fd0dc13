#pragma once

#include "base/engine_options.h"

namespace varbex {

// varbex_solve with the engine's options chosen by the caller: the entry point of the library's
// own tests, fuzzers, differential tools and benchmarks. The same contract as varbex_solve (a
// malloc block for varbex_free, the error envelope on any failure); varbex_solve is this with
// the default options.
char* solveWithOptions(const char* request, const EngineOptions& options) noexcept;

}  // namespace varbex
