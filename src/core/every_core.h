#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace qf {

// Runs task(k, onCaller) for every k in [0, count) on every core. Each core takes the next k
// when it is free, so that a core slowed by other work holds up the others by no more than one
// task. `onCaller` is true on the calling thread, which alone may talk to the user.
template <typename Task>
void RunOnEveryCore(std::size_t count, Task task) {
  std::atomic<std::size_t> next = 0;
  const auto work = [&](bool onCaller) {
    for (std::size_t k = next++; k < count; k = next++) task(k, onCaller);
  };
  const std::size_t cores =
      std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, std::max<std::size_t>(count, 1));
  std::vector<std::jthread> helpers;
  for (std::size_t i = 1; i < cores; ++i) helpers.emplace_back(work, false);
  work(true);
}

}  // namespace qf
