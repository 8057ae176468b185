#include "editing/ui/combine_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "core/field_rules.h"
#include "editing/ui/qt_text.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

constexpr int kMaxSerialDigits = 9;

QString PartText(CombinePart part) {
  switch (part) {
    case CombinePart::Text:
      return UiText(kTextChoice);
    case CombinePart::Serial:
      return UiText(kSerialChoice);
    case CombinePart::Name:
      return UiText(kNameTitle);
    case CombinePart::Tel:
      return UiText(kTelTitle);
    default:
      return UiText(kMemoTitle);
  }
}

QComboBox* PartList(std::initializer_list<CombinePart> parts, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  for (const CombinePart part : parts) combo->addItem(PartText(part), static_cast<int>(part));
  return combo;
}

CombinePart PartOf(const QComboBox* combo) { return static_cast<CombinePart>(combo->currentData().toInt()); }

bool TakesText(CombinePart part) { return part == CombinePart::Text || part == CombinePart::Serial; }

}  // namespace

CombineDialog::CombineDialog(bool richPoiFile, QWidget* parent) : QDialog(parent), richPoiFile_(richPoiFile) {
  using enum CombinePart;
  setWindowTitle(u"Combine Column Data"_s);
  front_ = PartList({Text, Serial, Name, Tel, Memo}, this);
  back_ = PartList({Name, Tel, Memo, Text, Serial}, this);
  frontText_ = new QLineEdit(this);
  backText_ = new QLineEdit(this);
  digits_ = new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  for (const auto& part : {std::pair{front_, frontText_}, std::pair{back_, backText_}}) {
    QComboBox* combo = part.first;
    QLineEdit* edit = part.second;
    connect(combo, &QComboBox::currentIndexChanged, this, [this, combo, edit] { choose(edit, PartOf(combo)); });
    connect(edit, &QLineEdit::textChanged, this, &CombineDialog::updateOk);
    choose(edit, PartOf(combo));
  }

  auto* parts = new QGridLayout;
  parts->addWidget(new QLabel(u"&Front:"_s, this), 0, 0);
  parts->addWidget(front_, 0, 1);
  parts->addWidget(frontText_, 0, 2);
  parts->addWidget(new QLabel(u"+"_s, this), 0, 3);
  parts->addWidget(new QLabel(u"&Back:"_s, this), 0, 4);
  parts->addWidget(back_, 0, 5);
  parts->addWidget(backText_, 0, 6);
  for (const auto& [label, buddy] : {std::pair{0, front_}, std::pair{4, back_}}) {
    static_cast<QLabel*>(parts->itemAtPosition(0, label)->widget())->setBuddy(buddy);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(parts);
  layout->addWidget(buttons);
}

Combination CombineDialog::combination() const {
  Combination chosen{PartOf(front_), PartOf(back_), {}};
  if (frontText_->isEnabled()) chosen.text = ToU16(frontText_->text());
  if (backText_->isEnabled()) chosen.text = ToU16(backText_->text());
  return chosen;
}

void CombineDialog::choose(QLineEdit* edit, CombinePart part) {
  const bool serial = part == CombinePart::Serial;
  // The validator first, so that the text put in is judged by the new choice's rule.
  edit->setValidator(serial ? digits_ : nullptr);
  edit->setMaxLength(serial ? kMaxSerialDigits : static_cast<int>(kMaxNameLength));
  edit->setText(part == CombinePart::Text ? u"@"_s : serial ? u"01"_s : QString());
  edit->setEnabled(TakesText(part));
  updateOk();
}

void CombineDialog::updateOk() { ok_->setEnabled(CombinationComplete(combination(), richPoiFile_)); }

}  // namespace qf
