#include "progress_bar.h"

#include <string>

#include <unistd.h>

namespace cli {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string bar(size_t done, size_t total) {
  const size_t filled = total == 0 ? kBarWidth : done * kBarWidth / total;
  return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "]";
}

// "1:05" or "0:07"; "?:??" until a rate is known.
std::string minutesAndSeconds(double seconds) {
  if (!(seconds >= 0) || seconds > 359999) return "?:??";
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

ProgressBar::ProgressBar(std::FILE* stream, size_t total, bool wanted)
    : stream_(stream),
      total_(total),
      enabled_(wanted && isatty(fileno(stream)) == 1),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

void ProgressBar::update(size_t done) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && done < total_ && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  draw(done);
}

void ProgressBar::draw(size_t done) {
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
  const double left = rate > 0 ? static_cast<double>(total_ - done) / rate : -1;
  // \r and "erase line" redraw in place; the bar never scrolls the terminal.
  std::fprintf(stream_, "\r\x1b[2K%s %zu/%zu  %.1f/s  %s left", bar(done, total_).c_str(), done,
               total_, rate, minutesAndSeconds(left).c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void ProgressBar::finish() {
  if (!enabled_ || !drawn_) return;
  std::fputs("\r\x1b[2K", stream_);
  std::fflush(stream_);
}

}  // namespace cli
