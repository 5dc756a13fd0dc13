#include "batch_stream.h"

#include <utility>

namespace cli {

BatchStream::BatchStream(SolvePool& pool, std::vector<std::string> lines, CancelFlag cancel)
    : pool_(pool), lines_(std::move(lines)), cancel_(std::move(cancel)) {}

std::shared_ptr<BatchStream> BatchStream::start(SolvePool& pool, std::vector<std::string> lines,
                                                size_t window, CancelFlag cancel) {
  std::shared_ptr<BatchStream> stream(new BatchStream(pool, std::move(lines), cancel));
  if (stream->lines_.empty()) return stream;
  std::optional<std::future<Solved>> first = pool.trySubmit(std::move(stream->lines_[0]), cancel);
  if (!first) return nullptr;
  stream->pending_.push_back(std::move(*first));
  stream->submitted_ = 1;
  while (stream->submitted_ < stream->lines_.size() && stream->pending_.size() < window) {
    stream->submitNext();
  }
  return stream;
}

void BatchStream::submitNext() {
  // Once the batch is under way its client has been promised an answer: wait for room, don't fail.
  pending_.push_back(pool_.submit(std::move(lines_[submitted_]), cancel_));
  std::string().swap(lines_[submitted_]);
  ++submitted_;
}

Solved BatchStream::next() {
  Solved solved = pending_.front().get();
  pending_.pop_front();
  if (submitted_ < lines_.size()) submitNext();
  return solved;
}

}  // namespace cli
