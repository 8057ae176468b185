// Random sequences of what a person does in the real window (keys, clicks, scrolling, Import,
// Save As), offscreen, on a corpus file and on a generated file of 100,000 rows. After every
// action the window must answer, show as many rows as the document holds, and at the end of each
// session undoing everything must give back the rows of the opened file; every saved file must
// read back with the rows the document held.
//
// QUILLFERN_RANDOM_SEED repeats a run; QUILLFERN_RANDOM_ACTIONS sets the actions per session
// (default 40); QUILLFERN_RANDOM_SESSIONS the sessions per file (default 2).
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "core/field_rules.h"
#include "core/unicode.h"
#include "editing/ui/cell_editor.h"
#include "editing/ui/poi_table_view.h"
#include "formats/file_pipeline.h"
#include "shell/command_table.h"
#include "shell/ui/main_window.h"
#include "editing/ui/qt_text.h"
#include "ui/ui_test_support.h"

namespace qf {

namespace fs = std::filesystem;

namespace {

int EnvironmentNumber(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : fallback;
}

// Five seconds, four times that where the sanitizers slow every step down.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::chrono::seconds kPatience(20);
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr std::chrono::seconds kPatience(20);
#else
constexpr std::chrono::seconds kPatience(5);
#endif
#else
constexpr std::chrono::seconds kPatience(5);
#endif

// Aborts the run, naming the action, when one action keeps the window busy that long: a hang, not
// a slow action.
class Watchdog {
 public:
  Watchdog() : thread_([this] { watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  void start(std::string action) {
    std::lock_guard lock(mutex_);
    action_ = std::move(action);
    running_ = true;
    ++generation_;
    changed_.notify_all();
  }
  void stop() {
    std::lock_guard lock(mutex_);
    running_ = false;
    changed_.notify_all();
  }

 private:
  void watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (!running_) {
        changed_.wait(lock);
        continue;
      }
      const long generation = generation_;
      const auto moved = [&] { return stopping_ || generation_ != generation || !running_; };
      if (!changed_.wait_for(lock, kPatience, moved)) {
        std::fprintf(stderr, "The window did not answer within %lld s after: %s\n",
                     static_cast<long long>(kPatience.count()), action_.c_str());
        std::abort();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::string action_;
  bool running_ = false;
  bool stopping_ = false;
  long generation_ = 0;
  std::thread thread_;
};

// Answers every message box as a careful user would: "No" to saving before a file is replaced,
// otherwise OK.
class MessageAnswerer {
 public:
  MessageAnswerer() {
    poll_.setInterval(20);
    QObject::connect(&poll_, &QTimer::timeout, [] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      for (const auto button : {QMessageBox::No, QMessageBox::Ok, QMessageBox::Yes}) {
        if (QAbstractButton* target = box->button(button)) {
          target->click();
          return;
        }
      }
      box->reject();
    });
    poll_.start();
  }

 private:
  QTimer poll_;
};

// 100,000 POIs spread over the world, with names of every length up to the limit, telephones,
// memos and some rows without a position.
fs::path GenerateLargeFile(const fs::path& folder) {
  std::mt19937 random(7);
  PoiDocument document;
  document.rows.reserve(100'000);
  for (int i = 0; i < 100'000; ++i) {
    const std::u16string name = u"POI " + Utf8ToUtf16(std::to_string(i)) + std::u16string(random() % 40, u'x');
    const int row = AppendPoi(document, name, false);
    if (random() % 50 == 0) continue;
    const double lng = static_cast<double>(random() % 36'000'000) / 1e5 - 180;
    const double lat = static_cast<double>(random() % 18'000'000) / 1e5 - 90;
    SetCoordinateText(document, row, kLng, Utf8ToUtf16(std::to_string(lng)), false);
    SetCoordinateText(document, row, kLat, Utf8ToUtf16(std::to_string(lat)), false);
    if (random() % 3 == 0) SetCell(document, row, kTel, u"+49 30 " + Utf8ToUtf16(std::to_string(random() % 100000)));
  }
  const fs::path path = folder / "large.ov2";
  SilentUserPort port;
  if (RunFileOperation(document, FileOperation::Save, FileFormat::Ov2, path, AppSettings{}, port) != 0) return {};
  return path;
}

struct Row {
  std::u16string name, lng, lat;
  auto operator<=>(const Row&) const = default;
};

// An optimised OV2 file keeps its records grouped by place, not in table order.
std::vector<Row> Sorted(std::vector<Row> rows) {
  std::ranges::sort(rows);
  return rows;
}

std::vector<Row> Rows(const PoiDocument& document, bool onlyWithPosition = false) {
  std::vector<Row> rows;
  for (int row = 0; row < document.rowCount(); ++row) {
    if (onlyWithPosition && (document.text(row, kLng).empty() || document.text(row, kLat).empty())) continue;
    rows.push_back({std::u16string(document.text(row, kName)), std::u16string(document.text(row, kLng)),
                    std::u16string(document.text(row, kLat))});
  }
  return rows;
}

// Where two lists of rows part, for the failure message.
QString Difference(const std::vector<Row>& expected, const std::vector<Row>& actual, const fs::path& file) {
  std::size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
  const auto show = [](const std::vector<Row>& rows, std::size_t at) {
    if (at >= rows.size()) return QStringLiteral("(none)");
    return ToQString(rows[at].name) + u'|' + ToQString(rows[at].lng) + u'|' + ToQString(rows[at].lat);
  };
  return QStringLiteral("%1: %2 rows held, %3 read back; row %4 held \"%5\", read \"%6\"")
      .arg(ToQString(file.u16string()))
      .arg(expected.size())
      .arg(actual.size())
      .arg(i)
      .arg(show(expected, i), show(actual, i));
}

}  // namespace

class RandomSessionTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  std::mt19937 random_;
  unsigned seed_ = 0;
  int saves_ = 0;

  fs::path here(const std::string& name) const { return fs::path(ToU16(folder_.path())) / name; }
  int pick(int count) { return static_cast<int>(random_() % static_cast<unsigned>(count)); }

  // One session: open, act at random, undo everything.
  void session(const fs::path& file, int actions) {
    MainWindow window(here("quillfern.ini"));
    QVERIFY(test::ShowActive(window));
    MessageAnswerer answerer;
    Watchdog watchdog;
    const auto act = [&](const std::string& what, const auto& action) {
      watchdog.start(what + " (seed " + std::to_string(seed_) + ")");
      action();
      QCoreApplication::processEvents();
      watchdog.stop();
      QCOMPARE(window.view().model()->rowCount(), window.table().document().rowCount());
    };
    act("open", [&] { test::OpenThroughMenu(window, file); });
    std::vector<Row> opened = Rows(window.table().document());
    QVERIFY(!opened.empty());
    for (int i = 0; i < actions; ++i) {
      const std::string name = step(window, act);
      if (std::getenv("QUILLFERN_RANDOM_VERBOSE")) {
        qInfo("%d %s: %d rows, undo %d", i, name.c_str(), window.table().document().rowCount(),
              window.table().canUndo());
      }
      if (QTest::currentTestFailed()) {
        qWarning("failed after action %d (%s), seed %u", i, name.c_str(), seed_);
        return;
      }
      // A reopened file is the new starting point.
      if (name == "save as and reopen") opened = Rows(window.table().document());
    }
    act("undo everything", [&] {
      if (window.cellEditor().isOpen()) test::Press(window, Qt::Key_Escape);
      for (int guard = 0; window.table().canUndo() && guard <= UndoLog::kMaxGroups; ++guard) {
        window.tick();
        window.action(CommandId::Undo)->trigger();
      }
    });
    QVERIFY2(Rows(window.table().document()) == opened,
             qPrintable(QStringLiteral("seed %1, after undoing everything: ").arg(seed_) +
                        Difference(opened, Rows(window.table().document()), file)));
    // Nothing to ask on the way out.
    window.table().document().modified = false;
  }

  // One random action; returns its name.
  template <typename Act>
  std::string step(MainWindow& window, const Act& act) {
    static const std::pair<Qt::Key, Qt::KeyboardModifiers> kNavigation[] = {
        {Qt::Key_Down, Qt::NoModifier},    {Qt::Key_Up, Qt::NoModifier},         {Qt::Key_PageDown, Qt::NoModifier},
        {Qt::Key_PageUp, Qt::NoModifier},  {Qt::Key_Home, Qt::ControlModifier},  {Qt::Key_End, Qt::ControlModifier},
        {Qt::Key_Down, Qt::ShiftModifier}, {Qt::Key_End, Qt::NoModifier}};
    static const QString kTexts[] = {QStringLiteral("Café 12"), QStringLiteral("-12.5"), QStringLiteral("45 30 N"),
                                     QStringLiteral("+31 20 555"), QString(300, u'n'), QStringLiteral("")};
    PoiTableView& view = window.view();
    const int rows = window.table().document().rowCount();
    switch (pick(16)) {
      case 0: {
        const auto& navigation = kNavigation[pick(std::size(kNavigation))];
        act("navigation key", [&] { test::Press(window, navigation.first, navigation.second); });
        return "navigation key";
      }
      case 1:
        act("scroll", [&] {
          QScrollBar* bar = view.verticalScrollBar();
          bar->setValue(bar->maximum() > 0 ? pick(bar->maximum() + 1) : 0);
        });
        return "scroll";
      case 2:
        if (rows > 0) act("click a row", [&] { test::ClickRow(window, pick(rows)); });
        return "click a row";
      case 3:
        act("Enter", [&] { test::Press(window, Qt::Key_Return); });
        return "Enter";
      case 4:
        act("Esc", [&] { test::Press(window, Qt::Key_Escape); });
        return "Esc";
      case 5:
        act("Del", [&] { test::Press(window, Qt::Key_Delete); });
        return "Del";
      case 6:
        act("Ctrl+A", [&] { test::Press(window, Qt::Key_A, Qt::ControlModifier); });
        return "Ctrl+A";
      case 7:
      case 8:
        act("Ctrl+Z", [&] { test::Press(window, Qt::Key_Z, Qt::ControlModifier); });
        return "Ctrl+Z";
      case 9:
        act("Ctrl+Y", [&] { test::Press(window, Qt::Key_Y, Qt::ControlModifier); });
        return "Ctrl+Y";
      case 10:
        act("Ctrl+C, Ctrl+V", [&] {
          test::Press(window, Qt::Key_C, Qt::ControlModifier);
          test::Press(window, Qt::Key_V, Qt::ControlModifier);
        });
        return "Ctrl+C, Ctrl+V";
      case 11:
      case 12: {
        const QString text = kTexts[pick(std::size(kTexts))];
        const bool commit = pick(3) != 0;
        act("F2, typing, Enter or Esc", [&] {
          test::Press(window, Qt::Key_F2);
          if (!window.cellEditor().isOpen()) return;
          test::Type(window, text);
          test::Press(window, commit ? Qt::Key_Return : Qt::Key_Escape);
          if (window.cellEditor().isOpen()) test::Press(window, Qt::Key_Escape);
        });
        return "F2, typing, Enter or Esc";
      }
      case 13:
        act("header click", [&] { test::ClickHeader(window, pick(kDistance + 1)); });
        return "header click";
      case 14:
        act("import", [&] {
          test::ChooseInDialog(window, test::CorpusFile("ov2/pinpoi_test.ov2"), FileFormat::Ov2);
          window.action(CommandId::Import)->trigger();
        });
        return "import";
      default:
        return saveAsAndReopen(window, act) ? "save as and reopen" : "save as, with nothing to save";
    }
  }

  // Whether the saved file was opened.
  template <typename Act>
  bool saveAsAndReopen(MainWindow& window, const Act& act) {
    static const FileFormat kFormats[] = {FileFormat::Ov2, FileFormat::Kml, FileFormat::Gpx, FileFormat::CsvUtf8,
                                          FileFormat::TxtUnicode};
    if (window.cellEditor().isOpen()) test::Press(window, Qt::Key_Escape);
    const FileFormat format = kFormats[pick(std::size(kFormats))];
    // Typed without an extension: the filter gives it.
    const fs::path typed = here("saved" + std::to_string(++saves_));
    const std::vector<Row> held = Sorted(Rows(window.table().document(), true));
    act("save as", [&] {
      test::ChooseInDialog(window, typed, format);
      window.action(CommandId::SaveAs)->trigger();
    });
    if (window.table().document().rowCount() == 0) return false;  // nothing to save: Save As is off
    const fs::path saved = window.table().document().path;
    [&] {
      QVERIFY2(saved.parent_path() == typed.parent_path() && saved.stem() == typed.stem(), saved.c_str());
      QCOMPARE(window.table().document().format, format);
    }();
    act("reopen", [&] { test::OpenThroughMenu(window, saved); });
    const std::vector<Row> reread = Sorted(Rows(window.table().document(), true));
    [&] { QVERIFY2(reread == held, qPrintable(Difference(held, reread, saved))); }();
    return true;
  }

 private slots:
  void initTestCase() {
    const int fresh = static_cast<int>(std::random_device{}() & 0x7fffffff);
    seed_ = static_cast<unsigned>(EnvironmentNumber("QUILLFERN_RANDOM_SEED", fresh));
    random_.seed(seed_);
    qInfo("seed %u (QUILLFERN_RANDOM_SEED repeats this run)", seed_);
  }

  void corpusFile() {
    const int sessions = EnvironmentNumber("QUILLFERN_RANDOM_SESSIONS", 2);
    for (int i = 0; i < sessions && !QTest::currentTestFailed(); ++i) {
      session(test::CorpusFile("ov2/chateaux.ov2"), EnvironmentNumber("QUILLFERN_RANDOM_ACTIONS", 40));
    }
  }

  void largeFile() {
    const fs::path large = GenerateLargeFile(fs::path(ToU16(folder_.path())));
    QVERIFY(!large.empty());
    const int sessions = EnvironmentNumber("QUILLFERN_RANDOM_SESSIONS", 2);
    for (int i = 0; i < sessions && !QTest::currentTestFailed(); ++i) {
      session(large, EnvironmentNumber("QUILLFERN_RANDOM_ACTIONS", 40) / 2);
    }
  }
};

}  // namespace qf

QTEST_MAIN(qf::RandomSessionTest)
#include "random_session_test.moc"
