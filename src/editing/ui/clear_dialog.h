#pragma once

#include <QDialog>

#include <array>

#include "core/poi_document.h"
#include "editing/column_edits.h"

class QCheckBox;
class QPushButton;

namespace qf {

// "Clear Column Data": what to clear of the rows, one box per column or serial. Cancel is the
// default button; OK is offered while a box is checked.
class ClearDialog : public QDialog {
  Q_OBJECT

 public:
  // A camera file or a phonebook has no serials to clear, a phonebook no coordinates either.
  ClearDialog(DocumentKind kind, QWidget* parent);

  ClearChoice choice() const;

 private:
  std::array<QCheckBox*, 6> boxes_{};
  QPushButton* ok_;
};

}  // namespace qf
