#include "editing/ui/clear_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qf {

using namespace Qt::StringLiterals;

ClearDialog::ClearDialog(DocumentKind kind, QWidget* parent) : QDialog(parent) {
  setWindowTitle(u"Clear Column Data"_s);
  auto* layout = new QVBoxLayout(this);
  const QString texts[] = {u"Name/L&eading serial"_s, u"Name/T&railing serial"_s, u"&Lng"_s,
                           u"L&at "_s,                 u"&Tel/Speed"_s,            u"&Memo/Camera/Icon"_s};
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    boxes_[i] = new QCheckBox(texts[i], this);
    layout->addWidget(boxes_[i]);
  }
  const bool serials = kind == DocumentKind::Poi;
  const bool coordinates = kind != DocumentKind::Phonebook;
  for (const auto& [box, enabled] : {std::pair{0, serials}, std::pair{1, serials}, std::pair{2, coordinates},
                                     std::pair{3, coordinates}}) {
    boxes_[static_cast<std::size_t>(box)]->setEnabled(enabled);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setEnabled(false);
  ok_->setAutoDefault(false);
  buttons->button(QDialogButtonBox::Cancel)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  for (QCheckBox* box : boxes_) {
    connect(box, &QCheckBox::toggled, this, [this] {
      ok_->setEnabled(std::ranges::any_of(boxes_, [](const QCheckBox* box) { return box->isChecked(); }));
    });
  }
  layout->addWidget(buttons);
}

ClearChoice ClearDialog::choice() const {
  const auto checked = [this](std::size_t box) { return boxes_[box]->isEnabled() && boxes_[box]->isChecked(); };
  return {checked(0), checked(1), checked(2), checked(3), checked(4), checked(5)};
}

}  // namespace qf
