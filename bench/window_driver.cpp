#include "window_driver.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace qf::bench {

void Timings::print() const {
  std::vector<double> sorted = runs_;
  std::sort(sorted.begin(), sorted.end());
  if (sorted.empty()) Fail(QString::fromUtf8(what_) + QStringLiteral(": no runs"));
  std::printf("%-52s %8.1f ms  median of %zu (%.1f-%.1f)", what_, sorted[(sorted.size() - 1) / 2], sorted.size(),
              sorted.front(), sorted.back());
  if (targetMs_ > 0) std::printf("  target <= %.0f ms%s", targetMs_, sorted.back() > targetMs_ ? "  MISSED" : "");
  std::printf("\n");
  std::fflush(stdout);
}

void Report(const char* what, const QElapsedTimer& timer, double targetMs) {
  const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  std::printf("%-52s %8.1f ms", what, ms);
  if (targetMs > 0) std::printf("  target <= %.0f ms%s", targetMs, ms > targetMs ? "  MISSED" : "");
  std::printf("\n");
  std::fflush(stdout);
}

void Fail(const QString& why) {
  std::fprintf(stderr, "editor_timing: %s\n", qPrintable(why));
  std::fflush(stdout);
  std::_Exit(1);
}

ModalAnswers::ModalAnswers() { qApp->installEventFilter(this); }

ModalAnswers::~ModalAnswers() { qApp->removeEventFilter(this); }

bool ModalAnswers::eventFilter(QObject* watched, QEvent* event) {
  auto* dialog = qobject_cast<QDialog*>(watched);
  if (event->type() == QEvent::Show && dialog && dialog->isModal() && !answers_.empty()) {
    // Once the dialog's own loop runs: an answer given while it is being shown would be lost.
    QTimer::singleShot(0, dialog, [dialog, answer = answers_.front()] { answer(dialog); });
    answers_.pop_front();
  }
  return false;
}

}  // namespace qf::bench
