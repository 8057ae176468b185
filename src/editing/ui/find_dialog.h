#pragma once

#include <QDialog>

#include "editing/find_replace.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace qf {

// "Find POIs" and "Replace POIs": the fields of the find state the two share. The dialog stays
// open beside the table, which may change meanwhile; OK and the Next button store the fields into
// the state and ask the window to search or replace.
class FindDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Mode { Find, Replace };
  // `next` is the window's Find Next (Find) or Replace Next (Replace) command: the dialog offers it
  // as a button with the command's text and keys.
  FindDialog(Mode mode, FindState& state, const QAction& next, QWidget* parent);

  Mode mode() const { return mode_; }
  // Fills the fields from the state again, the find text selected.
  void showState();

 signals:
  // OK: the state holds the fields.
  void confirmed();
  // The Next button or its key: the state holds the fields.
  void nextRequested();

 private:
  void store();

  Mode mode_;
  FindState& state_;
  QLineEdit* findEdit_;
  QLineEdit* replaceEdit_ = nullptr;
  QCheckBox* matchCase_;
  QCheckBox* onlyName_;
  QCheckBox* selectAll_;
  QPushButton* ok_;
  QPushButton* next_;
};

}  // namespace qf
