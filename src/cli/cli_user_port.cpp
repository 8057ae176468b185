#include "cli/cli_user_port.h"

#include <unistd.h>

#include <cstdio>

#include "core/unicode.h"

namespace qf {

std::string CliMessage(std::u16string_view text) {
  std::string out = "quillfern-cli: ";
  bool blank = false;
  for (char c : Utf16ToUtf8(text)) {
    if (c == '\n') {
      blank = true;
      continue;
    }
    if (blank) out += out.back() == ':' || out.back() == ' ' ? " " : ": ";
    blank = false;
    out += c;
  }
  return out;
}

DuplicateAnswer CliUserPort::askDuplicateName(std::u16string_view) { return duplicates; }

bool CliUserPort::confirm(int, std::u16string_view text) {
  finishProgress();
  std::fprintf(stderr, "%s (%s)\n", CliMessage(text).c_str(), overwriteReadOnly ? "yes" : "no");
  return overwriteReadOnly;
}

void CliUserPort::showMessage(int, std::u16string_view text) {
  finishProgress();
  std::fprintf(stderr, "%s\n", CliMessage(text).c_str());
}

void CliUserPort::progress(std::u16string_view text, int) {
  if (!isatty(STDERR_FILENO)) return;
  std::fprintf(stderr, "\r%s", Utf16ToUtf8(text).c_str());
  progressShown_ = true;
}

void CliUserPort::finishProgress() {
  if (progressShown_) std::fputc('\n', stderr);
  progressShown_ = false;
}

}  // namespace qf
