#pragma once

#include <QDialog>

#include "editing/column_edits.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QValidator;

namespace qf {

// "Combine Column Data": a front and a back part, each a column, a text or a serial number. OK
// is offered only for a combination Combine may run.
class CombineDialog : public QDialog {
  Q_OBJECT

 public:
  // A rich POI file keeps its memos for its rich records.
  CombineDialog(bool richPoiFile, QWidget* parent);

  // The chosen parts and the text of the part that takes one.
  Combination combination() const;

 private:
  // A combo's choice decides what its edit holds and whether it may be typed in.
  void choose(QLineEdit* edit, CombinePart part);
  void updateOk();

  bool richPoiFile_;
  QComboBox* front_;
  QLineEdit* frontText_;
  QComboBox* back_;
  QLineEdit* backText_;
  QPushButton* ok_;
  QValidator* digits_;
};

}  // namespace qf
