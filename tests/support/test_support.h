#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_port.h"

namespace qf::test {

// A user who answers from a script and remembers what was asked and shown.
class ScriptedUserPort : public UserPort {
 public:
  std::deque<DuplicateAnswer> duplicateAnswers;  // empty: "Retain"
  std::deque<bool> confirmAnswers;               // empty: Cancel
  std::vector<std::u16string> askedNames;
  std::vector<int> confirmIds;
  std::vector<std::pair<int, std::u16string>> messages;
  int progressCalls = 0;
  int lastPercent = -1;

  DuplicateAnswer askDuplicateName(std::u16string_view name) override;
  bool confirm(int messageId, std::u16string_view text) override;
  void showMessage(int messageId, std::u16string_view text) override;
  void progress(std::u16string_view text, int percent) override;
  bool cancelRequested() override { return false; }
};

std::filesystem::path CorpusPath(std::string_view relative);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
// "02 18 00" → bytes; blanks are ignored.
std::vector<std::uint8_t> Hex(std::string_view hex);
// A fresh, empty folder under the system temp folder, removed at process exit.
std::filesystem::path TempDir();

}  // namespace qf::test
