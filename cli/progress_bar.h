#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>

namespace cli {

// A one-line progress display on a terminal: bar, done/total, rate and time left. It redraws at
// most ten times a second; when not wanted, or on a stream that is not a terminal, it draws nothing.
class ProgressBar {
 public:
  ProgressBar(std::FILE* stream, size_t total, bool wanted);

  // Shows `done` of the total when the last redraw is long enough ago, or when all is done.
  void update(size_t done);
  // Clears the line, so that what follows starts on a clean line.
  void finish();

 private:
  void draw(size_t done);

  std::FILE* const stream_;
  const size_t total_;
  const bool enabled_;
  const std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  bool drawn_ = false;
};

}  // namespace cli
