#pragma once

#include <cstdint>
#include <span>
#include <thread>
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
  bool good_ = true;
};

}  // namespace qf
