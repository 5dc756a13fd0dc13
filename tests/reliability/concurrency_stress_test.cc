// Eight threads solve a stream of different small requests at the same time, each in its own
// order, for a few seconds; every answer must be exactly the one that the same request gets
// alone on a fresh thread. Under ThreadSanitizer this also shows that solves share no state
// except each thread's own lookahead memo.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "reliability_support.h"

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int kThreads = 8;
constexpr int kRequests = 24;

// A small request: few enough items that balancing (capped at 250 ms of wall time) ends by
// itself long before that cap, even several times slower under a sanitizer, so the answer does
// not depend on speed. Item weights follow from the shape and box group alone, so that the
// lookahead memo each thread keeps across solves, whose keys hold extents, weight and policy,
// never meets two differently ordered item lists under one key.
std::string makeRequest(std::uint32_t seed) {
  std::mt19937 random(seed);
  auto between = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  static const char* const kPolicies[] = {"BestFit", "KeepFlat", "Never"};
  json boxes = json::array();
  const int boxTypes = between(1, 4);
  for (int k = 0; k < boxTypes; ++k) {
    json box = reliability::box("B" + std::to_string(k), between(8, 30), between(8, 30),
                                between(8, 30), between(0, 3) == 0 ? -1 : between(40, 120));
    box["BoxWeight"] = between(0, 3);
    if (between(0, 4) == 0) box["MaximumBoxes"] = between(1, 3);
    boxes.push_back(box);
  }
  json items = json::array();
  const int itemCount = between(3, reliability::kUnderSanitizer ? 8 : 12);
  const bool grouped = between(0, 2) == 0;
  for (int k = 0; k < itemCount; ++k) {
    const int width = between(1, 12), length = between(1, 12), depth = between(1, 12);
    const int group = grouped ? between(0, 2) : 0;
    const int policy = between(0, 2);
    const double weight =
        (1 + (((width * 16 + length) * 16 + depth) * 4 + group) * 3 + policy) / 1024.0;
    json item = reliability::item("S" + std::to_string(seed) + "-" + std::to_string(k), width,
                                  length, depth, weight);
    item["AllowedRotation"] = kPolicies[policy];
    if (group > 0) item["BoxGroup"] = "G" + std::to_string(group);
    items.push_back(item);
  }
  return json{{"boxes", boxes}, {"items", items}}.dump();
}

TEST(ConcurrencyStress, EightThreadsGetTheAnswersOfASingleThread) {
  std::vector<std::string> requests;
  std::vector<std::string> expected;
  for (std::uint32_t seed = 1; static_cast<int>(requests.size()) < kRequests; ++seed) {
    std::string request = makeRequest(seed);
    // The reference answer, alone on a fresh thread with an empty lookahead memo.
    std::string answer;
    Clock::duration took{};
    std::thread([&] {
      const Clock::time_point start = Clock::now();
      answer = reliability::answerText(request);
      took = Clock::now() - start;
    }).join();
    // Only requests that are solved well within the balancing cap, so that speed cannot change
    // their answer below.
    if (took > std::chrono::milliseconds(25)) continue;
    ASSERT_EQ(varbex_checks::shapeProblem(json::parse(answer)), "");
    requests.push_back(std::move(request));
    expected.push_back(std::move(answer));
  }

  const auto runFor = std::chrono::seconds(reliability::kUnderSanitizer ? 2 : 3);
  const int leastSolves = reliability::kUnderSanitizer ? kRequests / 4 : kRequests;
  const Clock::time_point stop = Clock::now() + runFor;
  std::atomic<long> solves{0};
  std::atomic<long> mismatches{0};
  std::mutex firstMismatchLock;
  std::string firstMismatch;

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread walks all the requests from its own starting point with its own stride.
      static const int kStrides[kThreads] = {1, 5, 7, 11, 13, 17, 19, 23};
      const int stride = kStrides[t];
      int index = (t * 5) % kRequests;
      for (int done = 0; done < leastSolves || Clock::now() < stop; ++done) {
        const std::string answer = reliability::answerText(requests[static_cast<std::size_t>(index)]);
        solves.fetch_add(1);
        if (answer != expected[static_cast<std::size_t>(index)]) {
          mismatches.fetch_add(1);
          const std::lock_guard<std::mutex> lock(firstMismatchLock);
          if (firstMismatch.empty()) {
            firstMismatch = "request " + requests[static_cast<std::size_t>(index)] +
                            "\nalone:  " + expected[static_cast<std::size_t>(index)] +
                            "\nstress: " + answer;
          }
        }
        index = (index + stride) % kRequests;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(mismatches.load(), 0) << "of " << solves.load() << " solves\n" << firstMismatch;
  EXPECT_GE(solves.load(), static_cast<long>(kThreads) * leastSolves);
}

TEST(ConcurrencyStress, AnswersMayBeReleasedOnAnotherThread) {
  std::vector<char*> answers(64, nullptr);
  std::thread producer([&] {
    for (std::size_t k = 0; k < answers.size(); ++k) {
      answers[k] = varbex_solve(makeRequest(static_cast<std::uint32_t>(1000 + k)).c_str());
    }
  });
  producer.join();
  std::thread releaser([&] {
    for (char* answer : answers) {
      EXPECT_NE(answer, nullptr);
      varbex_free(answer);
    }
  });
  releaser.join();
}

}  // namespace
