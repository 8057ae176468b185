#pragma once

#include <string_view>
#include <vector>

namespace qf {

// Finds which of many fixed texts occur inside a text in one pass over it, however many texts
// there are (an Aho-Corasick automaton over UTF-16 units).
class SubstringAutomaton {
 public:
  SubstringAutomaton() : SubstringAutomaton(std::vector<std::u16string_view>{}) {}
  // The patterns must be distinct; a pattern's number is its index. They need not outlive this.
  explicit SubstringAutomaton(const std::vector<std::u16string_view>& patterns);

  // Calls found(number) for each occurrence of a pattern in text; the empty pattern, if any, once.
  template <typename Found>
  void scan(std::u16string_view text, Found&& found) const {
    if (emptyPattern_ >= 0) found(emptyPattern_);
    int state = 0;
    for (const char16_t c : text) {
      state = next(state, c);
      for (int node = pattern_[state] >= 0 ? state : output_[state]; node > 0; node = output_[node]) {
        found(pattern_[node]);
      }
    }
  }

 private:
  int childOf(int node, char16_t c) const;
  int next(int node, char16_t c) const;

  // Nodes are numbered breadth first; node 0 is the root.
  std::vector<int> firstChild_;      // a node's children are firstChild_[node] .. firstChild_[node + 1]
  std::vector<char16_t> character_;  // of the edge into a node
  std::vector<int> rootChild_;  // by character, 0 when the root has no such edge
  std::vector<int> fail_;       // the node of the longest proper suffix in the trie
  std::vector<int> output_;     // the nearest node on the fail chain that ends a pattern, -1 if none
  std::vector<int> pattern_;    // the pattern a node ends, -1 if none
  int emptyPattern_ = -1;
};

}  // namespace qf
