#include "shell/ui/query_names_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "editing/ui/qt_text.h"
#include "formats/name_translation.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

constexpr int kMaxNameLength = 259;

}  // namespace

QueryNamesDialog::QueryNamesDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(u"Query Names"_s);
  tomtomName_ = new QLineEdit(this);
  windowsName_ = new QLineEdit(this);
  auto* layout = new QVBoxLayout(this);
  for (const auto& [text, edit] : {std::pair{u"&TomTom name"_s, tomtomName_}, {u"&Windows file name"_s, windowsName_}}) {
    edit->setMaxLength(kMaxNameLength);
    auto* label = new QLabel(text, this);
    label->setBuddy(edit);
    layout->addWidget(label);
    layout->addWidget(edit);
  }
  // Only what the user types is translated: the translation shown in the other edit is not.
  connect(tomtomName_, &QLineEdit::textEdited, this,
          [this](const QString& name) { windowsName_->setText(ToQString(QueryWindowsName(ToU16(name)))); });
  connect(windowsName_, &QLineEdit::textEdited, this,
          [this](const QString& name) { tomtomName_->setText(ToQString(QueryTomTomName(ToU16(name)))); });
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(UiText(kCloseButton), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  setMinimumWidth(420);
}

}  // namespace qf
