#include "core/substring_automaton.h"

#include <algorithm>
#include <numeric>

namespace qf {

SubstringAutomaton::SubstringAutomaton(const std::vector<std::u16string_view>& patterns) {
  std::vector<int> order(patterns.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return patterns[a] < patterns[b]; });
  // Nodes are numbered breadth first, level by level: a node's children are consecutive and in
  // ascending character order, and the shallow nodes that most links lead to lie together.
  // Each node of a level stands for the run of sorted patterns that begin with its text.
  struct Run {
    int begin;
    int end;
  };
  std::vector<Run> level{{0, static_cast<int>(order.size())}};
  pattern_.assign(1, -1);
  character_.assign(1, 0);
  for (std::size_t depth = 0; !level.empty(); ++depth) {
    std::vector<Run> next;
    for (auto [begin, end] : level) {
      const auto node = firstChild_.size();
      // A prefix sorts before the patterns it begins, and patterns are distinct.
      if (begin < end && patterns[order[begin]].size() == depth) pattern_[node] = order[begin++];
      firstChild_.push_back(static_cast<int>(pattern_.size()));
      while (begin < end) {
        const char16_t c = patterns[order[begin]][depth];
        int stop = begin + 1;
        while (stop < end && patterns[order[stop]][depth] == c) ++stop;
        pattern_.push_back(-1);
        character_.push_back(c);
        next.push_back({begin, stop});
        begin = stop;
      }
    }
    level = std::move(next);
  }
  firstChild_.push_back(static_cast<int>(pattern_.size()));
  emptyPattern_ = pattern_[0];

  const std::size_t nodes = pattern_.size();
  rootChild_.assign(0x10000, 0);
  for (int child = firstChild_[0]; child < firstChild_[1]; ++child) rootChild_[character_[child]] = child;
  // In breadth-first order every suffix's node has its links before the nodes that need them.
  fail_.assign(nodes, 0);
  output_.assign(nodes, -1);
  for (std::size_t node = 0; node < nodes; ++node) {
    for (int child = firstChild_[node]; child < firstChild_[node + 1]; ++child) {
      const int fail = node == 0 ? 0 : next(fail_[node], character_[child]);
      fail_[child] = fail;
      output_[child] = fail != 0 && pattern_[fail] >= 0 ? fail : output_[fail];
    }
  }
}

int SubstringAutomaton::childOf(int node, char16_t c) const {
  if (node == 0) return rootChild_[c];
  const auto first = character_.begin() + firstChild_[node];
  const auto last = character_.begin() + firstChild_[node + 1];
  const auto found = std::lower_bound(first, last, c);
  return found != last && *found == c ? static_cast<int>(found - character_.begin()) : 0;
}

int SubstringAutomaton::next(int node, char16_t c) const {
  for (;;) {
    if (const int child = childOf(node, c); child != 0 || node == 0) return child;
    node = fail_[node];
  }
}

}  // namespace qf
