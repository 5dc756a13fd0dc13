// The service's solving pool against the real `varbex` binary as its workers: answers byte for
// byte those of the library in this process, and a solve past its time or memory limit, a worker
// killed mid-solve and a cancelled solve each fail that request only, a fresh worker answering
// the next one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <dirent.h>
#include <fstream>
#include <iostream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "../diff/request_generator.h"
#include "batch_stream.h"
#include "solve_pool.h"
#include "solver/balancing_stats.h"
#include "varbex.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define POOL_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define POOL_TEST_SANITIZED 1
#endif
#endif
#ifndef POOL_TEST_SANITIZED
#define POOL_TEST_SANITIZED 0
#endif

namespace {

using cli::CancelFlag;
using cli::Solved;
using cli::SolveFailure;
using cli::SolveLimits;
using cli::SolvePool;
using namespace std::chrono_literals;

// Long enough for any wait below, even under a sanitizer; only a hang reaches it.
constexpr auto kPatience = 120s;

std::string libraryResponse(const std::string& request) {
  const std::unique_ptr<char, void (*)(char*)> response(varbex_solve(request.c_str()), varbex_free);
  return response.get();
}

std::unique_ptr<SolvePool> poolOf(SolveLimits limits, unsigned threads = 1) {
  return std::make_unique<SolvePool>(limits, threads, 64, nullptr, VARBEX_CLI);
}

Solved outcome(std::future<Solved>& future) {
  EXPECT_EQ(future.wait_for(kPatience), std::future_status::ready);
  return future.get();
}

// Minutes of work in any build: 400 items to choose among 300 box types for.
const std::string& slowRequest() {
  static const std::string text = [] {
    nlohmann::json boxes = nlohmann::json::array();
    nlohmann::json items = nlohmann::json::array();
    for (int i = 0; i < 300; ++i) {
      boxes.push_back({{"Reference", "B" + std::to_string(i)},
                       {"Width", 10 + i * 7 % 50},
                       {"Length", 10 + i * 13 % 50},
                       {"Depth", 10 + i * 29 % 50},
                       {"MaxWeight", -1}});
    }
    for (int i = 0; i < 400; ++i) {
      items.push_back({{"ItemCode", "i" + std::to_string(i)},
                       {"Width", 1 + i * 3 % 20},
                       {"Length", 1 + i * 7 % 20},
                       {"Depth", 1 + i * 11 % 20}});
    }
    return nlohmann::json{{"boxes", boxes}, {"items", items}}.dump();
  }();
  return text;
}

const char kSmallRequest[] =
    R"({"items":[{"ItemCode":"A","Width":2,"Length":3,"Depth":4}],)"
    R"("boxes":[{"Reference":"B","Width":5,"Length":5,"Depth":5,"MaxWeight":-1}]})";

// The pool answers the next request as the library does, from a worker started in place of the
// one that failed.
void expectAnswersAfterwards(SolvePool& pool, unsigned long long restarts) {
  std::future<Solved> next = pool.submit(kSmallRequest);
  const Solved solved = outcome(next);
  EXPECT_EQ(solved.failure, SolveFailure::kNone);
  EXPECT_EQ(solved.response, libraryResponse(kSmallRequest));
  EXPECT_EQ(pool.restarts(), restarts);
}

// Until a worker has had the time to take the request in, which takes milliseconds: a solve
// cancelled before that is cancelled without the worker.
void waitUntilSolving(const SolvePool& pool) {
  while (pool.inFlight() == 0) std::this_thread::sleep_for(10ms);
  std::this_thread::sleep_for(300ms);
}

// The worker processes of this test, reaped or not: every process whose parent it is.
std::vector<pid_t> children() {
  std::vector<pid_t> pids;
  DIR* processes = opendir("/proc");
  if (processes == nullptr) return pids;
  while (const dirent* entry = readdir(processes)) {
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (command) state ppid ...; the command may hold spaces and parentheses.
    std::istringstream fields(line.substr(line.rfind(')') + 1));
    std::string state;
    pid_t parent = 0;
    if (fields >> state >> parent && parent == getpid()) pids.push_back(std::stoi(entry->d_name));
  }
  closedir(processes);
  return pids;
}

TEST(SolvePool, AnswersAsTheLibraryDoesAndReapsItsWorkers) {
  std::vector<std::string> requests = {"", "not json", "[[[", "{}", kSmallRequest};
  for (std::uint64_t index = 0; requests.size() < 200; ++index) {
    std::string request = varbex::testing::generateRequest(23, index);
    if (nlohmann::json::parse(request)["items"].size() <= 30) {
      requests.push_back(std::move(request));
    }
  }
  {
    std::vector<long long> placed;
    std::vector<std::string> expected;
    std::vector<bool> comparable;
    size_t comparisons = 0;
    for (const std::string& request : requests) {
      const std::uint64_t hits = varbex::balancingDeadlineHitsOnThisThread();
      const auto start = std::chrono::steady_clock::now();
      const Solved solved = cli::solveOne(request);
      // Weight balancing stops at a wall-clock deadline, so only requests solved in a small part
      // of it compare across processes, whatever else the machine is doing.
      comparable.push_back(varbex::balancingDeadlineHitsOnThisThread() == hits &&
                           std::chrono::steady_clock::now() - start < 20ms);
      comparisons += comparable.back();
      expected.push_back(solved.response);
      placed.push_back(solved.tally.placed);
    }
    EXPECT_GE(comparisons, 100u);
    std::cout << comparisons << " of " << requests.size() << " requests compared\n";
    const auto pool = poolOf(SolveLimits{}, 2);
    std::vector<std::future<Solved>> futures;
    for (const std::string& request : requests) futures.push_back(pool->submit(request));
    for (size_t i = 0; i < requests.size(); ++i) {
      const Solved solved = outcome(futures[i]);
      ASSERT_EQ(solved.failure, SolveFailure::kNone) << "request " << i;
      if (comparable[i]) {
        EXPECT_EQ(solved.response, expected[i]) << "request " << i;
        EXPECT_EQ(solved.tally.placed, placed[i]) << "request " << i;
      }
    }
    EXPECT_EQ(pool->restarts(), 0u);  // the same two workers answered everything
    EXPECT_EQ(children().size(), 2u);
  }
  EXPECT_TRUE(children().empty()) << "a worker outlived its pool";
}

TEST(SolvePool, SolvePastItsTimeoutEndsItsWorker) {
  const auto pool = poolOf(SolveLimits{1s, 1024});
  std::future<Solved> slow = pool->submit(slowRequest());
  const Solved solved = outcome(slow);
  EXPECT_EQ(solved.failure, SolveFailure::kTimeout);
  EXPECT_TRUE(solved.response.empty());
  EXPECT_EQ(pool->timeouts(), 1u);
  expectAnswersAfterwards(*pool, 1);
  // In a batch, the line past its limit says so and the next one is answered.
  const auto stream = cli::BatchStream::start(*pool, {slowRequest(), kSmallRequest}, 2);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->nextLine(),
            "{\"error\":\"the solve ran past its time limit of 1 s (--solve-timeout)\","
            "\"success\":false}\n");
  EXPECT_EQ(stream->nextLine(), libraryResponse(kSmallRequest) + "\n");
  EXPECT_TRUE(stream->finished());
  EXPECT_EQ(pool->timeouts(), 2u);
}

TEST(SolvePool, WorkerKilledMidSolveFailsThatRequestOnly) {
  const auto pool = poolOf(SolveLimits{kPatience, 1024});
  std::future<Solved> slow = pool->submit(slowRequest());
  waitUntilSolving(*pool);
  const std::vector<pid_t> workers = children();
  ASSERT_EQ(workers.size(), 1u);
  kill(workers[0], SIGKILL);
  const Solved solved = outcome(slow);
  EXPECT_EQ(solved.failure, SolveFailure::kCrashed);
  EXPECT_EQ(pool->crashes(), 1u);
  expectAnswersAfterwards(*pool, 1);
}

TEST(SolvePool, CancelledSolveFreesItsWorker) {
  const auto pool = poolOf(SolveLimits{kPatience, 1024});
  const CancelFlag cancel = std::make_shared<std::atomic<bool>>(false);
  const CancelFlag cancelledEarly = std::make_shared<std::atomic<bool>>(false);
  std::future<Solved> slow = pool->submit(slowRequest(), cancel);
  std::future<Solved> queued = pool->submit(slowRequest(), cancelledEarly);
  *cancelledEarly = true;  // gone before a worker took it: no worker is spent on it
  waitUntilSolving(*pool);
  *cancel = true;
  EXPECT_EQ(outcome(slow).failure, SolveFailure::kCancelled);
  EXPECT_EQ(outcome(queued).failure, SolveFailure::kCancelled);
  EXPECT_EQ(pool->timeouts() + pool->crashes() + pool->memoryKills(), 0u);
  expectAnswersAfterwards(*pool, 1);
  // A batch dropped unfinished, its client gone, cancels what of it is queued or running.
  std::shared_ptr<cli::BatchStream> stream =
      cli::BatchStream::start(*pool, {slowRequest(), slowRequest()}, 2);
  waitUntilSolving(*pool);
  stream.reset();
  expectAnswersAfterwards(*pool, 2);
  EXPECT_EQ(pool->timeouts() + pool->crashes() + pool->memoryKills(), 0u);
}

TEST(SolvePool, SolvePastItsMemoryLimitEndsItsWorker) {
  if (POOL_TEST_SANITIZED) GTEST_SKIP() << "sanitizers reserve terabytes of address space up front";
  // 200000 items in 8 MiB of text need several times 64 MiB once parsed.
  std::string request = R"({"boxes":[{"Reference":"B","Width":9,"Length":9,"Depth":9}],"items":[)";
  for (int i = 0; i < 200000; ++i) {
    request += (i ? "," : "") + std::string(R"({"ItemCode":"i)") + std::to_string(i) +
               R"(","Width":1,"Length":1,"Depth":1})";
  }
  request += "]}";
  const auto pool = poolOf(SolveLimits{kPatience, 64});
  std::future<Solved> hungry = pool->submit(std::move(request));
  EXPECT_EQ(outcome(hungry).failure, SolveFailure::kMemory);
  EXPECT_EQ(pool->memoryKills(), 1u);
  expectAnswersAfterwards(*pool, 1);
}

}  // namespace
