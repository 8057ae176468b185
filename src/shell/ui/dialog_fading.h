#pragma once

#include <QShowEvent>
#include <QWidget>

#include <utility>

namespace qf {

// The program's dialogs open centred over their owner (Qt places a dialog so). With "Fade Window"
// on they fade in to this opacity, keep it while open, and fade out before they close.
inline constexpr double kDialogOpacity = 243.0 / 255.0;
// Starts the fade from transparent and returns at once; call when the dialog is shown.
void FadeIn(QWidget& window, double opacity = kDialogOpacity);
// Fades to transparent, which takes about a third of a second; call before the dialog hides.
void FadeOut(QWidget& dialog);

// A standard dialog with the program's fading.
template <class Dialog>
class Fading : public Dialog {
 public:
  template <class... Args>
  explicit Fading(bool fade, Args&&... args) : Dialog(std::forward<Args>(args)...), fade_(fade) {}

  void done(int result) override {
    if (fade_) FadeOut(*this);
    Dialog::done(result);
  }

 protected:
  void showEvent(QShowEvent* event) override {
    Dialog::showEvent(event);
    if (fade_) FadeIn(*this);
  }

 private:
  bool fade_;
};

}  // namespace qf
