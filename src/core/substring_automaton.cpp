#include "core/substring_automaton.h"

#include <algorithm>
#include <numeric>

namespace qf {

namespace {

struct Edge {
  int parent;
  char16_t character;
  int child;
};

}  // namespace

SubstringAutomaton::SubstringAutomaton(const std::vector<std::u16string_view>& patterns) {
  // In sorted order each pattern shares a prefix with the one before and adds nodes below it,
  // so a node's children come into being in ascending character order.
  std::vector<int> order(patterns.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return patterns[a] < patterns[b]; });
  pattern_.assign(1, -1);
  std::vector<Edge> edges;
  std::vector<int> path{0};  // the nodes along the previous pattern
  std::u16string_view previous;
  for (const int number : order) {
    const std::u16string_view text = patterns[number];
    const auto mismatch = std::mismatch(text.begin(), text.end(), previous.begin(), previous.end()).first;
    const auto shared = static_cast<std::size_t>(mismatch - text.begin());
    path.resize(shared + 1);
    for (std::size_t i = shared; i < text.size(); ++i) {
      const int child = static_cast<int>(pattern_.size());
      pattern_.push_back(-1);
      edges.push_back({path.back(), text[i], child});
      path.push_back(child);
    }
    pattern_[path.back()] = number;
    previous = text;
  }
  emptyPattern_ = pattern_[0];

  const std::size_t nodes = pattern_.size();
  edgeStart_.assign(nodes + 1, 0);
  for (const Edge& edge : edges) ++edgeStart_[edge.parent + 1];
  std::partial_sum(edgeStart_.begin(), edgeStart_.end(), edgeStart_.begin());
  edgeCharacter_.resize(edges.size());
  edgeTarget_.resize(edges.size());
  std::vector<int> filled(edgeStart_.begin(), edgeStart_.end() - 1);
  rootChild_.assign(0x10000, 0);
  for (const Edge& edge : edges) {
    const auto slot = filled[edge.parent]++;
    edgeCharacter_[slot] = edge.character;
    edgeTarget_[slot] = edge.child;
    if (edge.parent == 0) rootChild_[edge.character] = edge.child;
  }

  // Breadth first, so that every suffix's node has its links before the nodes that need them.
  fail_.assign(nodes, 0);
  output_.assign(nodes, -1);
  std::vector<int> queue{0};
  for (std::size_t head = 0; head < queue.size(); ++head) {
    const int node = queue[head];
    for (int slot = edgeStart_[node]; slot < edgeStart_[node + 1]; ++slot) {
      const int child = edgeTarget_[slot];
      const int fail = node == 0 ? 0 : next(fail_[node], edgeCharacter_[slot]);
      fail_[child] = fail;
      output_[child] = fail != 0 && pattern_[fail] >= 0 ? fail : output_[fail];
      queue.push_back(child);
    }
  }
}

int SubstringAutomaton::childOf(int node, char16_t c) const {
  if (node == 0) return rootChild_[c];
  const auto first = edgeCharacter_.begin() + edgeStart_[node];
  const auto last = edgeCharacter_.begin() + edgeStart_[node + 1];
  const auto found = std::lower_bound(first, last, c);
  return found != last && *found == c ? edgeTarget_[found - edgeCharacter_.begin()] : 0;
}

int SubstringAutomaton::next(int node, char16_t c) const {
  for (;;) {
    if (const int child = childOf(node, c); child != 0 || node == 0) return child;
    node = fail_[node];
  }
}

}  // namespace qf
