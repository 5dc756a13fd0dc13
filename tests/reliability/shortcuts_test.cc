// The speed shortcuts must not change any answer: each generated request solved with every
// shortcut on and off, each way on a fresh thread (an empty lookahead memo), gives the same bytes.
// scripts/diff-check runs the same comparison on a hundred thousand requests; this one keeps a few
// hundred in the suite, with the requests that showed the faults found so far.
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "../diff/request_generator.h"
#include "api/solve.h"
#include "solver/balancing_stats.h"
#include "varbex.h"

namespace varbex {
namespace {

using nlohmann::json;

struct Answer {
  std::string text;
  bool reachedDeadline = false;
};

// Balancing gets ten seconds instead of 250 ms, so that sanitizer builds on a busy machine still
// compare nearly every request; one still balancing then is swinging an item to and fro.
Answer solveOnFreshThread(const std::string& request, const Shortcuts& settings) {
  EngineOptions options;
  options.shortcuts = settings;
  options.balancingBudget = std::chrono::seconds(10);
  Answer answer;
  std::thread([&] {
    char* response = solveWithOptions(request.c_str(), options);
    answer.reachedDeadline = balancingCutsOnThisThread() != 0;
    answer.text = response ? response : "";
    varbex_free(response);
  }).join();
  return answer;
}

// "code orientation box-index" for every placement, in response order.
std::string placementsOf(const std::string& response) {
  std::string text;
  const json document = json::parse(response);
  for (const json& p : document.at("placements")) {
    text += p["ItemCode"].get<std::string>() + " " + p["orientation"].get<std::string>() + " " +
            p["box_reference"].get<std::string>() + std::to_string(p["box_index"].get<int>()) +
            ";";
  }
  return text;
}

TEST(ShortcutsTest, RequestsThatShortcutsOnceAnsweredWrongly) {
  const struct {
    const char* what;
    const char* request;
    const char* placements;
  } cases[] = {
      {"the lookahead counted K2 as placed in front of the row, but the fill skips it as a copy "
       "of K1, which does not fit; X then ties and goes turned",
       R"({"items":[{"ItemCode":"P","Width":30,"Length":21,"Depth":10,"AllowedRotation":"Never"},
       {"ItemCode":"X","Width":20,"Length":15,"Depth":5,"AllowedRotation":"KeepFlat"},
       {"ItemCode":"K1","Width":20,"Length":23,"Depth":2,"AllowedRotation":"KeepFlat"},
       {"ItemCode":"K2","Width":20,"Length":23,"Depth":2,"AllowedRotation":"BestFit"},
       {"ItemCode":"K3","Width":20,"Length":23,"Depth":2,"AllowedRotation":"KeepFlat"}],
       "boxes":[{"Reference":"B","Width":30,"Length":21,"Depth":31,"MaxWeight":-1}]})",
       "P WLD B0;K1 LWD B0;K2 LWD B0;K3 LWD B0;X LWD B0;"},
      {"balancing passed over box type S for G and N, as N fits it in no orientation; but the "
       "layer of N's negative length lets it in",
       R"({"items":[{"ItemCode":"G","Width":12,"Length":16,"Depth":13,"Weight":3},
       {"ItemCode":"H","Width":2,"Length":2,"Depth":2,"Weight":7},
       {"ItemCode":"N","Width":3,"Length":-3,"Depth":24,"Weight":1}],
       "boxes":[{"Reference":"S","Width":50,"Length":50,"Depth":10,"MaxWeight":15},
       {"Reference":"L","Width":40,"Length":40,"Depth":40,"MaxWeight":10.5}]})",
       "G WLD S0;N WDL S0;H WLD S1;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Answer fast = solveOnFreshThread(c.request, Shortcuts{});
    const Answer plain = solveOnFreshThread(c.request, Shortcuts::none());
    EXPECT_EQ(placementsOf(fast.text), c.placements);
    EXPECT_EQ(fast.text, plain.text);
  }
}

TEST(ShortcutsTest, GeneratedRequestsAnswerTheSameWithAndWithoutShortcuts) {
  constexpr int kRequests = 150;
  int compared = 0;
  for (int index = 0; index < kRequests; ++index) {
    const std::string request = testing::generateRequest(17, index);
    const Answer fast = solveOnFreshThread(request, Shortcuts{});
    const Answer plain = solveOnFreshThread(request, Shortcuts::none());
    // Balancing cut short answers by the machine's speed.
    if (fast.reachedDeadline || plain.reachedDeadline) continue;
    ++compared;
    EXPECT_EQ(fast.text, plain.text) << "request " << index << ": " << request;
  }
  EXPECT_GT(compared, kRequests * 9 / 10);
}

}  // namespace
}  // namespace varbex
