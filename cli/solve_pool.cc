#include "solve_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include "worker_frames.h"

extern char** environ;

namespace cli {
namespace {

// How often a waiting solve looks at its cancel flag.
constexpr auto kCancelPoll = std::chrono::milliseconds(50);
// A reply longer than this is not a reply: the worker is broken.
constexpr std::uint64_t kLongestReply = std::uint64_t{1} << 40;

// What the library answers when memory runs out under the worker's limit, and what solveOne
// answers when the library could not even allocate that.
constexpr char kLibraryOutOfMemory[] = R"({"error":"std::bad_alloc","success":false})";
constexpr char kNoResponse[] =
    "{\"error\":\"out of memory: the library returned no response\",\"success\":false}";

using Clock = std::chrono::steady_clock;

enum class Wait { kReady, kTimedOut, kCancelled, kClosed };

Solved failed(SolveFailure failure) {
  Solved solved;
  solved.failure = failure;
  return solved;
}

bool cancelled(const CancelFlag& cancel) { return cancel && cancel->load(); }

}  // namespace

std::string failureMessage(SolveFailure failure, const SolveLimits& limits) {
  switch (failure) {
    case SolveFailure::kNone: break;
    case SolveFailure::kTimeout: {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%g",
                    static_cast<double>(limits.timeout.count()) / 1000);
      return std::string("the solve ran past its time limit of ") + seconds +
             " s (--solve-timeout)";
    }
    case SolveFailure::kMemory:
      return "the solve ran past its memory limit of " + std::to_string(limits.memoryMiB) +
             " MiB (--solve-memory)";
    case SolveFailure::kCrashed: return "the process solving the request failed";
    case SolveFailure::kCancelled: return "the solve was cancelled";
  }
  return "the solve failed";
}

std::string failureEnvelope(SolveFailure failure, const SolveLimits& limits) {
  // The messages hold nothing that JSON would escape.
  return "{\"error\":\"" + failureMessage(failure, limits) + "\",\"success\":false}";
}

// One worker process and the pool's end of its socket.
class SolvePool::Worker {
 public:
  Worker(const std::string& program, size_t memoryMiB)
      : program_(program), memoryMiB_(std::to_string(memoryMiB)) {}
  ~Worker() { stop(); }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  bool running() const { return pid_ > 0; }
  int socket() const { return socket_; }

  bool start();
  // Closes the socket, on which the worker ends by itself, and reaps it.
  void stop() { end(false); }
  // Ends the worker now; returns its wait status.
  int kill() { return end(true); }
  // Reaps a worker that closed its end; returns its wait status.
  int reap() { return end(false); }
  // True when the worker died while idle, killed from outside say; then it is reaped.
  bool diedIdle();

  // Waits until the socket has something to read, or `deadline`, or `cancel` is set.
  Wait waitReadable(Clock::time_point deadline, const CancelFlag& cancel) const;
  // Reads all of `size` bytes within the same bounds.
  Wait read(void* data, size_t size, Clock::time_point deadline, const CancelFlag& cancel) const;

 private:
  int end(bool killFirst);

  const std::string program_;
  const std::string memoryMiB_;
  pid_t pid_ = -1;
  int socket_ = -1;
};

bool SolvePool::Worker::start() {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  // Standard output may be the access log; the worker has nothing to say there.
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], kWorkerSocket);
  // Nothing else of the server's, its clients' connections least of all, may stay open in it.
  posix_spawn_file_actions_addclosefrom_np(&actions, kWorkerSocket + 1);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  // In a process group of its own, so that ^C in a terminal reaches the server, which drains,
  // and not its workers, which would fail the solves under way.
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  std::string command = "solve-worker";
  std::string option = "--memory-mib";
  std::string mib = memoryMiB_;
  std::string name = "varbex";  // what ps shows, rather than /proc/self/exe
  char* arguments[] = {&name[0], &command[0], &option[0], &mib[0], nullptr};
  pid_t pid = -1;
  const int failure =
      posix_spawn(&pid, program_.c_str(), &actions, &attributes, arguments, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[1]);
  if (failure != 0) {
    ::close(ends[0]);
    return false;
  }
  pid_ = pid;
  socket_ = ends[0];
  return true;
}

int SolvePool::Worker::end(bool killFirst) {
  if (!running()) return 0;
  if (killFirst) ::kill(pid_, SIGKILL);
  ::close(socket_);
  socket_ = -1;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return status;
}

bool SolvePool::Worker::diedIdle() {
  if (!running()) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
  pid_ = -1;
  ::close(socket_);
  socket_ = -1;
  return true;
}

Wait SolvePool::Worker::waitReadable(Clock::time_point deadline, const CancelFlag& cancel) const {
  for (;;) {
    if (cancelled(cancel)) return Wait::kCancelled;
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return Wait::kTimedOut;
    const auto slice = std::min<Clock::duration>(left, kCancelPoll);
    // Rounded up, so that a wait never spins on a slice below a millisecond.
    const int milliseconds = static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(slice).count());
    pollfd ready{socket_, POLLIN, 0};
    const int events = ::poll(&ready, 1, milliseconds);
    if (events < 0 && errno != EINTR) return Wait::kClosed;
    if (events > 0) return Wait::kReady;
  }
}

Wait SolvePool::Worker::read(void* data, size_t size, Clock::time_point deadline,
                             const CancelFlag& cancel) const {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    const Wait wait = waitReadable(deadline, cancel);
    if (wait != Wait::kReady) return wait;
    const ssize_t got = ::recv(socket_, bytes, size, MSG_DONTWAIT);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return Wait::kClosed;
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return Wait::kReady;
}

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

// Hands the request to the worker and waits for its reply within the time limit. Any failure
// leaves the worker stopped, for work() to replace.
Solved SolvePool::solveIn(Worker& worker, Job& job) {
  if (cancelled(job.cancel)) return failed(SolveFailure::kCancelled);  // gone while queued
  if (!worker.running()) {
    // Not even a worker could be started for it: counted as a crash.
    ++crashes_;
    return failed(SolveFailure::kCrashed);
  }
  const auto deadline = limits_.timeout > std::chrono::milliseconds::zero()
                            ? Clock::now() + limits_.timeout
                            : Clock::time_point::max();
  const std::uint64_t length = job.request.size();
  // A worker that fails to take the request has died; reading then tells how.
  const bool sent = sendAll(worker.socket(), &length, sizeof length) &&
                    sendAll(worker.socket(), job.request.data(), job.request.size());
  std::string().swap(job.request);  // the worker has its copy
  ReplyHeader header;
  Wait wait = sent ? worker.read(&header, sizeof header, deadline, job.cancel) : Wait::kClosed;
  if (wait == Wait::kReady && header.length > kLongestReply) wait = Wait::kClosed;
  Solved solved;
  if (wait == Wait::kReady) {
    solved.response.resize(header.length);
    wait = worker.read(&solved.response[0], solved.response.size(), deadline, job.cancel);
  }
  switch (wait) {
    case Wait::kReady: break;
    case Wait::kTimedOut:
      worker.kill();
      ++timeouts_;
      return failed(SolveFailure::kTimeout);
    case Wait::kCancelled:
      worker.kill();
      return failed(SolveFailure::kCancelled);
    case Wait::kClosed: {
      const int status = worker.reap();
      if (WIFEXITED(status) && WEXITSTATUS(status) == kWorkerOutOfMemory) {
        ++memoryKills_;
        return failed(SolveFailure::kMemory);
      }
      ++crashes_;
      return failed(SolveFailure::kCrashed);
    }
  }
  if (solved.response == kLibraryOutOfMemory || solved.response == kNoResponse) {
    // What a worker that ran out of memory holds is not to be trusted with the next request.
    worker.kill();
    ++memoryKills_;
    return failed(SolveFailure::kMemory);
  }
  solved.tally.placed = header.placed;
  solved.tally.unplaced = header.unplaced;
  solved.tally.errors = header.errors;
  return solved;
}

void SolvePool::work() {
  Worker worker(workerProgram_, limits_.memoryMiB);
  worker.start();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Queued work is finished even when stopping: every queued job belongs to an accepted request.
    jobReady_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    ++inFlight_;
    lock.unlock();
    if (worker.diedIdle() && worker.start()) ++restarts_;
    try {
      const auto start = Clock::now();
      Solved solved = solveIn(worker, job);
      if (observer_) observer_(solved, Clock::now() - start);
      // A client that went away leaves a future nobody reads; the value is simply dropped with it.
      job.promise.set_value(std::move(solved));
    } catch (...) {
      // Memory ran out in the server itself; the waiting request fails, the thread goes on.
      worker.kill();
      job.promise.set_exception(std::current_exception());
    }
    // The next request finds a fresh worker in place of one that was killed or died.
    if (!worker.running() && worker.start()) ++restarts_;
    lock.lock();
    --inFlight_;
    roomReady_.notify_one();
  }
}

}  // namespace cli
