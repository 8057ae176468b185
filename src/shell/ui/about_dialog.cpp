#include "shell/ui/about_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "editing/ui/qt_text.h"
#include "shell/ui/dialog_fading.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

class AboutDialog : public Fading<QDialog> {
 public:
  AboutDialog(QWidget* parent, bool fade) : Fading<QDialog>(fade, parent) {
    setWindowTitle(u"About Quillfern"_s);
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(u":/icons/quillfern.svg"_s).pixmap(48, 48));
    auto* title = new QLabel(UiText(kProgramTitle), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* lines = new QVBoxLayout;
    lines->addWidget(title);
    lines->addWidget(new QLabel(QStringLiteral("Version " QUILLFERN_VERSION), this));
    lines->addWidget(new QLabel(u"Copyright (C) the Quillfern developers"_s, this));
    lines->addWidget(new QLabel(u"Free to use and to share, provided as is and without any warranty."_s, this));
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(lines);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
  }

 protected:
  // The labels pass their clicks on, so a click anywhere ends here.
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) {
      accept();
      return;
    }
    QDialog::mousePressEvent(event);
  }
};

}  // namespace

void ShowAbout(QWidget* parent, bool fade) {
  AboutDialog dialog(parent, fade);
  dialog.exec();
}

}  // namespace qf
