#include "cli/cli_user_port.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include "core/atomic_file.h"
#include "core/unicode.h"
#include "formats/batch_conversion.h"
#include "formats/file_pipeline.h"

namespace qf {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// Ends the process as the signal would, but without the named temporary files of saves under way.
void EndOnSignal(int signal) {
  RemoveUnfinishedTemporaryFiles();
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered when the handler returns
}

// The first Ctrl+C asks for a stop, a second one ends the process.
void OnInterrupt(int signal) {
  if (interrupted) EndOnSignal(signal);
  interrupted = true;
}

void Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

// The answer a typed line gives; none for a line that is no answer.
std::optional<OverwriteAnswer> ParseOverwriteAnswer(std::string line) {
  for (char& c : line) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  line.erase(0, line.find_first_not_of(' '));
  if (line == "y" || line == "yes") return OverwriteAnswer::Yes;
  if (line == "a" || line == "yes to all") return OverwriteAnswer::YesToAll;
  if (line == "n" || line == "no") return OverwriteAnswer::No;
  if (line == "o" || line == "no to all") return OverwriteAnswer::NoToAll;
  if (line == "c" || line == "cancel") return OverwriteAnswer::Cancel;
  return std::nullopt;
}

// False when no line comes: at the end of the input, or when Ctrl+C ends the wait. The wait
// looks at the Ctrl+C flag every tenth of a second, so that one pressed just before it began is
// not lost; bytes are read one at a time, so that nothing is buffered past the line.
bool ReadLine(std::string& line) {
  line.clear();
  while (!interrupted) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&input, 1, 100);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char c;
    const ssize_t count = ::read(STDIN_FILENO, &c, 1);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    if (c == '\n') return true;
    line += c;
  }
  return !interrupted && !line.empty();
}

const char* AnswerName(OverwriteAnswer answer) {
  switch (answer) {
    case OverwriteAnswer::Yes:
    case OverwriteAnswer::YesToAll:
      return "yes";
    case OverwriteAnswer::No:
    case OverwriteAnswer::NoToAll:
      return "no";
    case OverwriteAnswer::Cancel:
      break;
  }
  return "cancel";
}

}  // namespace

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

// The question of the "Same File Names" dialog. Answers from standard input may come from a pipe;
// the end of the input answers no, so nothing is replaced unasked.
OverwriteAnswer CliUserPort::askOverwrite(std::u16string_view path) {
  finishProgress();
  const std::string question =
      CliMessage(SameFileNameQuestion(path));
  if (overwrite) {
    std::fprintf(stderr, "%s (%s)\n", question.c_str(), AnswerName(*overwrite));
    return *overwrite;
  }
  std::string line;
  for (;;) {
    std::fprintf(stderr, "%s [y]es, yes to [a]ll, [n]o, n[o] to all, [c]ancel: ", question.c_str());
    std::fflush(stderr);
    const bool read = ReadLine(line);
    if (interrupted || !read) {
      std::fputc('\n', stderr);
      return interrupted ? OverwriteAnswer::Cancel : OverwriteAnswer::No;
    }
    // A typed answer is echoed by the terminal; one from a pipe ends the prompt's line here.
    if (!isatty(STDIN_FILENO)) std::fprintf(stderr, "%s\n", line.c_str());
    if (const auto answer = ParseOverwriteAnswer(line)) return *answer;
  }
}

bool CliUserPort::confirm(MessageId id, std::u16string_view text) {
  finishProgress();
  std::fprintf(stderr, "%s (%s)\n", CliMessage(text).c_str(), overwriteReadOnly ? "yes" : "no");
  // The question is answered by an option, which the user may not know of.
  if (id == kReadOnlyRetry && !overwriteReadOnly) {
    std::fputs("Add --overwrite-read-only to replace a read-only file.\n", stderr);
  }
  return overwriteReadOnly;
}

void CliUserPort::showMessage(MessageId, Severity, std::u16string_view text) {
  finishProgress();
  std::fprintf(stderr, "%s\n", CliMessage(text).c_str());
}

void CliUserPort::progress(std::u16string_view text, int) {
  if (!isatty(STDERR_FILENO)) return;
  std::fprintf(stderr, "\r%s", Utf16ToUtf8(text).c_str());
  progressShown_ = true;
}

bool CliUserPort::cancelRequested() { return interrupted; }

void CliUserPort::status(std::u16string_view text) {
  if (!isatty(STDERR_FILENO)) return;
  std::fprintf(stderr, "\r\x1b[K%s", Utf16ToUtf8(text).c_str());
  statusShown_ = true;
}

void CliUserPort::finishProgress() {
  if (progressShown_) std::fputc('\n', stderr);
  if (statusShown_) std::fputs("\r\x1b[K", stderr);
  progressShown_ = statusShown_ = false;
}

// Without SA_RESTART, so that Ctrl+C also ends the wait for an answer.
void CliUserPort::stopOnInterrupt() { Handle(SIGINT, OnInterrupt); }

void CliUserPort::endCleanlyOnSignals() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) Handle(signal, EndOnSignal);
}

}  // namespace qf
