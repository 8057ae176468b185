#pragma once

#include <cstdint>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "core/byte_sink.h"

namespace qf {

// Collects a file's bytes and hands them to the sink in large chunks. A full chunk is written on
// another thread while the next one is collected.
class BackgroundWriter {
 public:
  explicit BackgroundWriter(ByteSink& sink);
  ~BackgroundWriter() { wait(); }
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Bytes appended here go out with the next full chunk.
  std::vector<std::uint8_t>& buffer() { return buffer_; }
  // Sends the buffer on its way once it holds a full chunk.
  void passOn() {
    if (buffer_.size() >= kChunkBytes) flush();
  }
  void append(std::span<const std::uint8_t> bytes) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    passOn();
  }
  bool good() const { return good_; }
  // The bytes appended so far, passed on or not.
  std::uint64_t size() const { return passed_ + buffer_.size(); }
  // Puts `bytes` over ones appended before, `offset` bytes from the start: in the buffer while they
  // are still there, otherwise in the sink once everything is written.
  void rewrite(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Writes what is left, here: a small file starts no thread. False when any write failed.
  bool finish();

 private:
  static constexpr std::size_t kChunkBytes = 1 << 20;

  void flush();
  // Waits for the chunk being written.
  void wait();

  ByteSink& sink_;
  std::vector<std::uint8_t> buffer_;
  std::vector<std::uint8_t> writing_;
  std::jthread writer_;
  bool written_ = true;
  std::uint64_t passed_ = 0;
  std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> rewrites_;  // for the sink, at the end
  bool good_ = true;
};

}  // namespace qf
