// Times the desktop editor on a large file, offscreen: start-up until the first rows are
// painted, a header click that sorts every row, its undo, a page down at the end, Select All
// with Del from the middle of the table and its undo, and a Replace All through the Replace dialog
// that changes every Name, and its undo.
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <cstdio>

#include "core/poi_record.h"
#include "editing/ui/find_dialog.h"
#include "editing/ui/poi_table_view.h"
#include "shell/command_state.h"
#include "startup/huge_pages.h"
#include "shell/ui/main_window.h"

namespace {

void Report(const char* what, const QElapsedTimer& timer) {
  std::printf("%-44s %8.1f ms\n", what, static_cast<double>(timer.nsecsElapsed()) / 1e6);
}

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char* argv[]) {
  qf::UseHugePagesForHeap(argv);  // as the editor itself does
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc != 3) {
    std::fprintf(stderr, "usage: editor_timing FILE SETTINGS\n");
    return 2;
  }
  QElapsedTimer timer;
  timer.start();
  QApplication application(argc, argv);
  qf::MainWindow window(argv[2]);
  window.resize(1200, 800);
  window.show();
  window.openStartFile(argv[1]);
  window.view().viewport()->repaint();
  Report("start with the file until the table is painted", timer);
  std::printf("%-44s %8ld MB\n", "peak memory after start", PeakMegabytes());
  std::printf("%-44s %8d\n", "rows", window.view().model()->rowCount());

  QHeaderView* header = window.view().horizontalHeader();
  const QPoint name(header->sectionViewportPosition(qf::kName) + 5, header->height() / 2);
  timer.restart();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
  window.view().viewport()->repaint();
  Report("header click sorting by Name, repainted", timer);

  timer.restart();
  window.run(qf::CommandId::Undo);
  window.view().viewport()->repaint();
  Report("undo of the sort, repainted", timer);

  window.view().scrollToBottom();
  window.view().viewport()->repaint();
  QScrollBar* bar = window.view().verticalScrollBar();
  bar->setValue(bar->maximum() - 3 * bar->pageStep());
  window.view().viewport()->repaint();
  timer.restart();
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  window.view().viewport()->repaint();
  Report("page down near the end, repainted", timer);

  // Select All and Del with the table scrolled to the middle, as a person does it, and its undo.
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) std::fprintf(stderr, "the window did not become active\n");
  window.view().setFocus();
  bar->setValue(bar->maximum() / 2);
  window.view().viewport()->repaint();
  timer.restart();
  QTest::keyClick(&window.view(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&window.view(), Qt::Key_Delete);
  window.view().viewport()->repaint();
  Report("select all and delete from the middle", timer);
  timer.restart();
  QTest::keyClick(&window.view(), Qt::Key_Z, Qt::ControlModifier);
  window.view().viewport()->repaint();
  Report("undo of the deletion, repainted", timer);
  std::printf("%-44s %8d\n", "rows after the undo", window.view().model()->rowCount());

  // Every generated name ends in x: replacing it changes the Name of every row.
  window.run(qf::CommandId::Replace);
  auto* dialog = window.findChild<qf::FindDialog*>();
  const QList<QLineEdit*> edits = dialog->findChildren<QLineEdit*>();
  edits[0]->setText(QStringLiteral("x"));
  edits[1]->setText(QStringLiteral("y"));
  QPushButton* ok = nullptr;
  for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
    const QString text = box->text().remove(u'&');
    box->setChecked(text == QStringLiteral("Only Name column") || text == QStringLiteral("Replace all match data"));
  }
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
    if (button->text().remove(u'&') == QStringLiteral("OK")) ok = button;
  }
  timer.restart();
  ok->click();
  window.view().viewport()->repaint();
  Report("replace all in every Name (dialog), repainted", timer);
  timer.restart();
  window.run(qf::CommandId::Undo);
  window.view().viewport()->repaint();
  Report("undo of the replace all, repainted", timer);
  std::printf("%-44s %8ld MB\n", "peak memory", PeakMegabytes());
  // The window must not write settings or ask anything on the way out.
  std::fflush(stdout);
  std::_Exit(0);
}
