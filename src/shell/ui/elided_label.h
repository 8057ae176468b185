#pragma once

#include <QLabel>

namespace qf {

// A one-line label that shortens a text too long for it with an ellipsis where `mode` says,
// instead of growing or cutting it off.
class ElidedLabel : public QLabel {
 public:
  explicit ElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);

  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Qt::TextElideMode mode_;
};

}  // namespace qf
