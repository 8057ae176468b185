#include "core/background_writer.h"

namespace qf {

namespace {
// Room for a chunk and for what is appended past its size before it is passed on.
constexpr std::size_t kChunkSlack = 4096;
}  // namespace

BackgroundWriter::BackgroundWriter(ByteSink& sink) : sink_(sink) {
  buffer_.reserve(kChunkBytes + kChunkSlack);
  writing_.reserve(kChunkBytes + kChunkSlack);
}

bool BackgroundWriter::finish() {
  wait();
  if (good_ && !buffer_.empty()) good_ = sink_.write(buffer_.data(), buffer_.size());
  passed_ += buffer_.size();
  buffer_.clear();
  return good_;
}

void BackgroundWriter::flush() {
  wait();
  passed_ += buffer_.size();
  if (good_ && !buffer_.empty()) {
    writing_.swap(buffer_);
    writer_ = std::jthread([this] { written_ = sink_.write(writing_.data(), writing_.size()); });
  }
  buffer_.clear();
}

void BackgroundWriter::wait() {
  if (!writer_.joinable()) return;
  writer_.join();
  good_ = good_ && written_;
}

}  // namespace qf
