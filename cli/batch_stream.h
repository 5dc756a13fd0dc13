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
  // Setting `cancel` ends the lines still waiting or running, for a client that went away.
  static std::shared_ptr<BatchStream> start(SolvePool& pool, std::vector<std::string> lines,
                                            size_t window, CancelFlag cancel = {});

  bool finished() const { return pending_.empty(); }
  // Whether the next response is ready, waiting up to `wait` for it. Only when `finished()` is
  // false.
  bool frontReady(std::chrono::milliseconds wait) const {
    return pending_.front().wait_for(wait) == std::future_status::ready;
  }
  // The next response in input order, waiting for it to be solved. Only when `finished()` is
  // false.
  Solved next();

 private:
  BatchStream(SolvePool& pool, std::vector<std::string> lines, CancelFlag cancel);
  void submitNext();

  SolvePool& pool_;
  std::vector<std::string> lines_;
  CancelFlag cancel_;
  size_t submitted_ = 0;
  std::deque<std::future<Solved>> pending_;  // in input order
};

}  // namespace cli
