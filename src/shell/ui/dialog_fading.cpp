#include "shell/ui/dialog_fading.h"

#include <QCoreApplication>
#include <QPropertyAnimation>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace qf {

namespace {

// Fading moves the opacity by 16/255 every 20 ms.
constexpr double kFadeStep = 16.0 / 255.0;
constexpr int kFadeStepMs = 20;

}  // namespace

void FadeIn(QWidget& window, double opacity) {
  auto* fade = new QPropertyAnimation(&window, "windowOpacity", &window);
  fade->setStartValue(0.0);
  fade->setEndValue(opacity);
  fade->setDuration(static_cast<int>(std::ceil(opacity / kFadeStep)) * kFadeStepMs);
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void FadeOut(QWidget& dialog) {
  for (QPropertyAnimation* fadeIn : dialog.findChildren<QPropertyAnimation*>()) fadeIn->stop();
  for (double opacity = dialog.windowOpacity(); opacity > 0;) {
    opacity = std::max(0.0, opacity - kFadeStep);
    dialog.setWindowOpacity(opacity);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(kFadeStepMs);
  }
}

}  // namespace qf
