#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "solve_pool.h"

namespace cli {

// The responses to one batch, one line each, handed out in input order as they finish. Like
// `varbex batch`, the threads take the next unsolved line; here they are the service's shared
// threads, and at most `window` lines of one batch wait or run at a time, so that one large batch
// neither fills the queue for everybody else nor holds every response in memory.
class BatchStream {
 public:
  // Starts the first lines; gives nothing when the queue has no room even for the first one.
  static std::shared_ptr<BatchStream> start(SolvePool& pool, std::vector<std::string> lines,
                                            size_t window);

  // Cancels whatever of the batch is not solved yet: a stream dropped early lost its client.
  ~BatchStream();
  BatchStream(const BatchStream&) = delete;
  BatchStream& operator=(const BatchStream&) = delete;

  bool finished() const { return pending_.empty(); }
  // Whether the next response is ready, waiting up to `wait` for it. Only when `finished()` is
  // false.
  bool frontReady(std::chrono::milliseconds wait) const {
    return pending_.front().wait_for(wait) == std::future_status::ready;
  }
  // Ends the lines not solved yet, as dropping the stream does; for a client that hung up.
  void cancel() { *cancel_ = true; }
  // The next response in input order with its line end, waiting for it to be solved; a line whose
  // solve failed gets an error envelope naming the reason. Only when `finished()` is false.
  std::string nextLine();

 private:
  BatchStream(SolvePool& pool, std::vector<std::string> lines);
  void submitNext();

  SolvePool& pool_;
  const CancelFlag cancel_;  // shared by every line of the batch
  std::vector<std::string> lines_;
  size_t submitted_ = 0;
  std::deque<std::future<Solved>> pending_;  // in input order
};

}  // namespace cli
