#pragma once

#include <QDialog>

class QLineEdit;

namespace qf {

// "Query Names": a TomTom name and the file name it has on the disk in TomTom char code; typing
// either shows the other.
class QueryNamesDialog : public QDialog {
  Q_OBJECT

 public:
  explicit QueryNamesDialog(QWidget* parent);

 private:
  QLineEdit* tomtomName_;
  QLineEdit* windowsName_;
};

}  // namespace qf
