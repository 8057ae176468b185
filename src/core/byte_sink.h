#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qf {

// Where file-format writers put their bytes: a file being saved atomically, or memory.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Appends `size` bytes; false once anything has gone wrong (later calls keep failing).
  virtual bool write(const void* data, std::size_t size) = 0;
  // Puts `size` bytes over ones already written from `offset` on; a sink that cannot go back
  // refuses.
  virtual bool rewrite(std::uint64_t /*offset*/, const void* /*data*/, std::size_t /*size*/) { return false; }
};

// Collects everything written into a byte vector.
class MemorySink : public ByteSink {
 public:
  bool write(const void* data, std::size_t size) override {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    this->bytes.insert(this->bytes.end(), bytes, bytes + size);
    return true;
  }
  bool rewrite(std::uint64_t offset, const void* data, std::size_t size) override {
    if (offset > bytes.size() || size > bytes.size() - offset) return false;
    std::memcpy(bytes.data() + offset, data, size);
    return true;
  }

  std::vector<std::uint8_t> bytes;
};

}  // namespace qf
