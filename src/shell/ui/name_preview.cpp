#include "shell/ui/name_preview.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "editing/ui/qt_text.h"
#include "formats/name_translation.h"
#include "shell/ui/elided_label.h"

namespace qf {

using namespace Qt::StringLiterals;

void AddTomTomNamePreview(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setLabelText(QFileDialog::FileName, UiText(kWindowsFileNameLabel));
  auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
  auto* nameEdit = dialog.findChild<QLineEdit*>(u"fileNameEdit"_s);
  if (!grid || !nameEdit) return;  // a dialog of another make: no room for the line
  auto* value = new ElidedLabel(Qt::ElideRight, &dialog);
  value->setObjectName(u"tomtomName"_s);
  // A line of its own under the file name and type, as wide as the file-type box.
  const int row = grid->rowCount();
  grid->addWidget(new QLabel(UiText(kTomTomNameLabel), &dialog), row, 0);
  grid->addWidget(value, row, 1);
  const auto show = [value](const QString& name) { value->setText(ToQString(QueryTomTomName(ToU16(name)))); };
  QObject::connect(nameEdit, &QLineEdit::textChanged, value, show);
  QObject::connect(&dialog, &QFileDialog::currentChanged, value, [show](const QString& path) {
    const QFileInfo entry(path);
    if (entry.isDir()) show(entry.fileName());
  });
}

}  // namespace qf
