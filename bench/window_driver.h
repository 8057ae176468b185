#pragma once

// What the editor's timing needs to drive the window as a person does, and to print its figures
// beside their targets.
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

namespace qf::bench {

// Several runs of one step: their median, fastest and slowest beside the target.
class Timings {
 public:
  Timings(const char* what, double targetMs) : what_(what), targetMs_(targetMs) {}
  void add(const QElapsedTimer& timer) { runs_.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6); }
  void print() const;

 private:
  const char* what_;
  double targetMs_;
  std::vector<double> runs_;
};

// One run of a step beside its target (0: none).
void Report(const char* what, const QElapsedTimer& timer, double targetMs = 0);

// Answers modal dialogs as they open, in order, from inside the loop that shows each one: the
// benchmark cannot wait on those loops itself.
class ModalAnswers : public QObject {
 public:
  using Answer = std::function<void(QWidget*)>;

  ModalAnswers();
  ~ModalAnswers() override;
  void add(Answer answer) { answers_.push_back(std::move(answer)); }
  bool allGiven() const { return answers_.empty(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::deque<Answer> answers_;
};

[[noreturn]] void Fail(const QString& why);

// A control of a window by its text without the mnemonic's '&'.
template <class Control>
Control* Named(QWidget* window, const QString& text) {
  for (Control* control : window->findChildren<Control*>()) {
    if (control->text().remove(u'&') == text) return control;
  }
  Fail(QStringLiteral("no control ") + text + QStringLiteral(" in ") + window->windowTitle());
}

}  // namespace qf::bench
