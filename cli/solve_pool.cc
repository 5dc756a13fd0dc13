#include "solve_pool.h"

#include <algorithm>
#include <utility>

namespace cli {

SolvePool::SolvePool(const SolveLimits& limits, unsigned threads, size_t queueCapacity,
                     SolveObserver observer, std::string workerProgram)
    : limits_(limits),
      workerProgram_(std::move(workerProgram)),
      threadCount_(std::max(threads, 1u)),
      capacity_(queueCapacity),
      observer_(std::move(observer)) {
  for (unsigned i = 0; i < threadCount_; ++i) threads_.emplace_back(&SolvePool::work, this);
}

SolvePool::~SolvePool() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  jobReady_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::optional<std::future<Solved>> SolvePool::trySubmit(std::string request, CancelFlag cancel) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!hasRoomLocked()) return std::nullopt;
  return enqueueLocked(std::move(request), std::move(cancel));
}

std::future<Solved> SolvePool::submit(std::string request, CancelFlag cancel) {
  std::unique_lock<std::mutex> lock(mutex_);
  roomReady_.wait(lock, [&] { return hasRoomLocked(); });
  return enqueueLocked(std::move(request), std::move(cancel));
}

// Counting the running solves too means an idle thread always has room, even with no queue.
bool SolvePool::hasRoomLocked() const {
  return queue_.size() + inFlight_ < threadCount_ + capacity_;
}

std::future<Solved> SolvePool::enqueueLocked(std::string request, CancelFlag cancel) {
  queue_.push_back(Job{std::move(request), std::move(cancel), std::promise<Solved>()});
  std::future<Solved> future = queue_.back().promise.get_future();
  jobReady_.notify_one();
  return future;
}

size_t SolvePool::queueLength() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

size_t SolvePool::inFlight() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return inFlight_;
}

int solveWorkerCommand(int, char**) { return 1; }

static void solveInto(const SolvePool::SolveObserver& observer_, std::string& request,
                      std::promise<Solved>& promise) {
  try {
    const auto start = std::chrono::steady_clock::now();
    Solved solved = solveOne(request);
    if (observer_) observer_(solved, std::chrono::steady_clock::now() - start);
    // A client that went away leaves a future nobody reads; the value is simply dropped with it.
    promise.set_value(std::move(solved));
  } catch (...) {
    // Memory ran out around the library call; the waiting request fails, the thread goes on.
    promise.set_exception(std::current_exception());
  }
}

void SolvePool::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Queued work is finished even when stopping: every queued job belongs to an accepted request.
    jobReady_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    ++inFlight_;
    lock.unlock();
    solveInto(observer_, job.request, job.promise);
    lock.lock();
    --inFlight_;
    roomReady_.notify_one();
  }
}

}  // namespace cli
