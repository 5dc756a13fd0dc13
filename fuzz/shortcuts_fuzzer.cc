// Solves every request made from the fuzzer's bytes twice, with the engine's speed shortcuts on
// and off, each on a fresh thread (an empty lookahead memo), and fails on any difference in the
// response. Requests whose weight balancing reached its deadline on either side are not compared:
// their answer depends on speed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "fuzzed_request.h"
#include "api/solve.h"
#include "solver/balancing_stats.h"
#include "varbex.h"

namespace {

struct Answer {
  std::string text;
  bool reachedDeadline = false;
};

Answer solveOnFreshThread(const std::string& request, const varbex::EngineOptions& options) {
  Answer answer;
  std::thread([&] {
    char* response = varbex::solveWithOptions(request.c_str(), options);
    answer.reachedDeadline = varbex::balancingDeadlineHitsOnThisThread() != 0;
    answer.text = response ? response : "(null)";
    varbex_free(response);
  }).join();
  return answer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string request = varbex_fuzz::makeRequest(in, true).dump();
  const Answer fast = solveOnFreshThread(request, varbex::EngineOptions{});
  const Answer plain = solveOnFreshThread(request, varbex::EngineOptions::plain());
  if (fast.reachedDeadline || plain.reachedDeadline || fast.text == plain.text) return 0;
  std::fprintf(stderr, "\nFINDING: the shortcuts change the answer\nrequest: %s\n"
               "with shortcuts: %.20000s\nwithout: %.20000s\n",
               request.c_str(), fast.text.c_str(), plain.text.c_str());
  std::abort();
}
