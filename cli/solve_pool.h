#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "batch_solver.h"

namespace cli {

// Set by whoever gave up on a solve (a client that went away); the solve then ends early.
using CancelFlag = std::shared_ptr<std::atomic<bool>>;

// How long and how much memory one solve may take before its worker is killed.
struct SolveLimits {
  std::chrono::milliseconds timeout{30000};  // zero: no limit
  size_t memoryMiB = 1024;                    // beyond what an idle worker holds; 0: no limit
};

// A fixed set of worker processes, one per solving thread, fed from one bounded queue. The library
// can neither be told to stop nor be bounded in memory, so each solve runs in a worker process of
// its own that can be killed; each worker lives for request after request, keeping the library's
// lookahead memo warm, until it is killed or dies, and then a fresh one takes its place.
// Why a solve failed, in words for its client, naming the limit it ran past.
std::string failureMessage(SolveFailure failure, const SolveLimits& limits);
// The same as the library's error envelope, for where a response is due all the same.
std::string failureEnvelope(SolveFailure failure, const SolveLimits& limits);

class SolvePool {
 public:
  // Told about every request handed back, failed ones too, on the pool's thread that ran it;
  // must not throw.
  using SolveObserver = std::function<void(const Solved&, std::chrono::duration<double> took)>;

  // The workers run `workerProgram solve-worker`: by default this very executable.
  SolvePool(const SolveLimits& limits, unsigned threads, size_t queueCapacity,
            SolveObserver observer, std::string workerProgram = "/proc/self/exe");
  ~SolvePool();  // solves what is queued, then stops and reaps the workers
  SolvePool(const SolvePool&) = delete;
  SolvePool& operator=(const SolvePool&) = delete;

  // Queues the request, or gives nothing at once when every thread is busy and `queueCapacity`
  // requests already wait. Setting `cancel` ends the solve, which then fails with kCancelled.
  std::optional<std::future<Solved>> trySubmit(std::string request, CancelFlag cancel = {});
  // Queues the request, waiting for room; for the later lines of a batch already under way.
  std::future<Solved> submit(std::string request, CancelFlag cancel = {});

  size_t queueLength() const;
  size_t inFlight() const;
  unsigned threadCount() const { return threadCount_; }
  const SolveLimits& limits() const { return limits_; }

  // Solves ended by their limits, workers that died mid-solve, and workers started in place of
  // one that was killed or died.
  unsigned long long timeouts() const { return timeouts_.load(); }
  unsigned long long memoryKills() const { return memoryKills_.load(); }
  unsigned long long crashes() const { return crashes_.load(); }
  unsigned long long restarts() const { return restarts_.load(); }

 private:
  struct Job {
    std::string request;
    CancelFlag cancel;
    std::promise<Solved> promise;
  };
  class Worker;

  bool hasRoomLocked() const;
  std::future<Solved> enqueueLocked(std::string request, CancelFlag cancel);
  Solved solveIn(Worker& worker, Job& job);
  void work();

  const SolveLimits limits_;
  const std::string workerProgram_;
  const unsigned threadCount_;
  const size_t capacity_;
  const SolveObserver observer_;
  mutable std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable roomReady_;
  std::deque<Job> queue_;
  size_t inFlight_ = 0;
  bool stopping_ = false;
  std::atomic<unsigned long long> timeouts_{0};
  std::atomic<unsigned long long> memoryKills_{0};
  std::atomic<unsigned long long> crashes_{0};
  std::atomic<unsigned long long> restarts_{0};
  std::vector<std::thread> threads_;
};

}  // namespace cli
