#include "core/background_writer.h"

#include <gtest/gtest.h>

#include <vector>

namespace qf {
namespace {

// Holds what is written but cannot go back over it, as a stream cannot.
class StreamSink : public ByteSink {
 public:
  bool write(const void*, std::size_t) override { return true; }
};

// A rewrite lands whether its bytes are still in the buffer or were passed on already: those go
// to the sink once everything is written.
TEST(BackgroundWriterTest, RewritesLandInTheBufferOrInTheSink) {
  MemorySink sink;
  BackgroundWriter out(sink);
  std::vector<std::uint8_t> expected(3'000'000);
  for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<std::uint8_t>(i % 251);
  out.append({expected.data(), 10});
  out.rewrite(2, std::vector<std::uint8_t>{0xA1, 0xA2});
  out.append({expected.data() + 10, expected.size() - 10});  // passed on in chunks
  EXPECT_EQ(out.size(), expected.size());
  out.rewrite(4, std::vector<std::uint8_t>{0xB1});
  out.rewrite(expected.size() - 1, std::vector<std::uint8_t>{0xC1});
  ASSERT_TRUE(out.finish());
  expected[2] = 0xA1, expected[3] = 0xA2, expected[4] = 0xB1, expected.back() = 0xC1;
  EXPECT_EQ(sink.bytes, expected);
}

TEST(BackgroundWriterTest, ASinkThatCannotGoBackFailsTheWrite) {
  StreamSink sink;
  BackgroundWriter out(sink);
  out.append(std::vector<std::uint8_t>(2'000'000));
  out.rewrite(0, std::vector<std::uint8_t>{1});
  EXPECT_FALSE(out.finish());
}

}  // namespace
}  // namespace qf
