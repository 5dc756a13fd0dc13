#include "batch_stream.h"

#include <utility>

namespace cli {

BatchStream::BatchStream(SolvePool& pool, std::vector<std::string> lines)
    : pool_(pool), cancel_(std::make_shared<std::atomic<bool>>(false)), lines_(std::move(lines)) {}

BatchStream::~BatchStream() { *cancel_ = true; }

std::shared_ptr<BatchStream> BatchStream::start(SolvePool& pool, std::vector<std::string> lines,
                                                size_t window) {
  std::shared_ptr<BatchStream> stream(new BatchStream(pool, std::move(lines)));
  if (stream->lines_.empty()) return stream;
  std::optional<std::future<Solved>> first =
      pool.trySubmit(std::move(stream->lines_[0]), stream->cancel_);
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

std::string BatchStream::nextLine() {
  Solved solved = pending_.front().get();
  pending_.pop_front();
  if (submitted_ < lines_.size()) submitNext();
  if (solved.failure != SolveFailure::kNone) {
    return failureEnvelope(solved.failure, pool_.limits()) + '\n';
  }
  return std::move(solved.response) + '\n';
}

}  // namespace cli
