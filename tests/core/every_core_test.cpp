#include "core/every_core.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace qf {
namespace {

TEST(RunOnEveryCore, RunsEveryTaskOnceAndTellsTheCaller) {
  for (const std::size_t count : {0u, 1u, 2u, 100u}) {
    std::vector<int> runs(count, 0);
    std::mutex mutex;
    const std::thread::id caller = std::this_thread::get_id();
    RunOnEveryCore(count, [&](std::size_t k, bool onCaller) {
      EXPECT_EQ(onCaller, std::this_thread::get_id() == caller);
      const std::lock_guard lock(mutex);
      ++runs[k];
    });
    EXPECT_EQ(runs, std::vector<int>(count, 1)) << count;
  }
}

}  // namespace
}  // namespace qf
