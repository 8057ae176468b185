#include "core/background_writer.h"

#include <algorithm>

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
  for (const auto& [offset, bytes] : rewrites_) good_ = good_ && sink_.rewrite(offset, bytes.data(), bytes.size());
  rewrites_.clear();
  return good_;
}

void BackgroundWriter::rewrite(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (offset >= passed_) {
    std::copy(bytes.begin(), bytes.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(offset - passed_));
  } else {
    rewrites_.emplace_back(offset, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }
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
