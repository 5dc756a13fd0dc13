// Solves run on several threads at once give the same texts as the same solves on one thread:
// calls share nothing but each thread's own lookahead memo, which every new thread starts empty.

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "varbex.h"

namespace {

// Small requests that still make the orientation chooser look ahead (mixed shapes in one row),
// use box groups, limited supply and weight balancing, all finishing within milliseconds.
const char* const kRequests[] = {
    R"({"boxes":[{"Reference":"B","Width":10,"Length":10,"Depth":10,"MaxWeight":50}],
        "items":[{"ItemCode":"A","Width":5,"Length":4,"Depth":2,"Weight":3},
                 {"ItemCode":"B","Width":3,"Length":6,"Depth":2,"Weight":1},
                 {"ItemCode":"C","Width":2,"Length":7,"Depth":3,"Weight":2},
                 {"ItemCode":"D","Width":4,"Length":4,"Depth":4,"Weight":5}]})",
    R"({"boxes":[{"Reference":"S","Width":6,"Length":6,"Depth":6,"MaxWeight":20,"MaximumBoxes":2},
                 {"Reference":"L","Width":12,"Length":8,"Depth":6,"MaxWeight":-1,"BoxWeight":2}],
        "items":[{"ItemCode":"P1","Width":5,"Length":3,"Depth":2,"Weight":4,"BoxGroup":"p"},
                 {"ItemCode":"P2","Width":5,"Length":3,"Depth":2,"Weight":4,"BoxGroup":"p"},
                 {"ItemCode":"Q1","Width":4,"Length":4,"Depth":3,"Weight":6,"BoxGroup":"q"},
                 {"ItemCode":"U1","Width":2,"Length":5,"Depth":1,"Weight":1},
                 {"ItemCode":"U2","Width":6,"Length":2,"Depth":2,"Weight":2,"AllowedRotation":"KeepFlat"},
                 {"ItemCode":"U3","Width":1,"Length":1,"Depth":5,"Weight":1,"AllowedRotation":"Never"}]})",
    R"({"boxes":[{"Reference":"Box","Width":10,"Length":10,"Depth":10,"MaxWeight":50,"BoxWeight":1}],
        "items":[{"ItemCode":"A","Width":10,"Length":10,"Depth":5,"Weight":7},
                 {"ItemCode":"B","Width":10,"Length":10,"Depth":5,"Weight":3},
                 {"ItemCode":"C","Width":10,"Length":10,"Depth":5,"Weight":2},
                 {"ItemCode":"D","Width":3,"Length":2,"Depth":1,"Weight":1}]})",
    R"({"boxes":[{"Reference":"T","Width":8,"Length":5,"Depth":4,"MaxWeight":30}],
        "items":[{"ItemCode":"R1","Width":3,"Length":2,"Depth":2,"Weight":1},
                 {"ItemCode":"R2","Width":3,"Length":2,"Depth":2,"Weight":1},
                 {"ItemCode":"R3","Width":3,"Length":2,"Depth":2,"Weight":1},
                 {"ItemCode":"R4","Width":2,"Length":4,"Depth":1,"Weight":2},
                 {"ItemCode":"R5","Width":1,"Length":5,"Depth":3,"Weight":2}]})",
};

// All requests in order, as one thread that starts with an empty memo answers them.
std::vector<std::string> solveAll() {
  std::vector<std::string> texts;
  for (const char* request : kRequests) {
    char* response = varbex_solve(request);
    texts.emplace_back(response ? response : "<null>");
    varbex_free(response);
  }
  return texts;
}

std::vector<std::string> solveAllOnANewThread() {
  std::vector<std::string> texts;
  std::thread([&texts] { texts = solveAll(); }).join();
  return texts;
}

TEST(ThreadTest, ConcurrentSolvesMatchASingleThread) {
  const std::vector<std::string> reference = solveAllOnANewThread();
  for (const std::string& text : reference) {
    ASSERT_NE(text.find("\"boxes\":[{"), std::string::npos) << text;
  }
  constexpr int kRounds = 3;
  constexpr int kThreads = 6;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<std::vector<std::string>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&results, t] { results[t] = solveAll(); });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
      SCOPED_TRACE("thread " + std::to_string(t));
      EXPECT_EQ(results[t], reference);
    }
  }
}

TEST(ThreadTest, SameRequestAgainOnOneThreadGivesTheSameText) {
  // The second solve answers its lookaheads from the memo the first one filled with the very
  // same questions; the text must not change.
  for (const char* request : kRequests) {
    std::string first;
    std::string second;
    std::thread([&] {
      char* response = varbex_solve(request);
      first = response;
      varbex_free(response);
      response = varbex_solve(request);
      second = response;
      varbex_free(response);
    }).join();
    EXPECT_EQ(first, second) << request;
  }
}

}  // namespace
