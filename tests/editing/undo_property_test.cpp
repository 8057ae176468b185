// Random sequences of every editing command. After each command the history must hold exactly one
// more step when the command changed something and none more when it changed nothing (sorting,
// moving and dragging rows, Set Base Point and Show Distance are one step whatever they change);
// one Undo must give back exactly the state before the command and one Redo exactly the state
// after it. At the end undoing everything gives back the start and redoing everything the end.
//
// QUILLFERN_UNDO_SEED repeats one seed; QUILLFERN_UNDO_SEEDS sets how many seeds run (default 40).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "core/app_settings.h"
#include "core/byte_sink.h"
#include "core/distances.h"
#include "core/field_rules.h"
#include "core/unicode.h"
#include "editing/base_points.h"
#include "editing/cell_editing.h"
#include "editing/clipboard_edits.h"
#include "editing/column_edits.h"
#include "editing/file_import.h"
#include "editing/find_replace.h"
#include "editing/poi_table.h"
#include "formats/file_pipeline.h"
#include "formats/file_session.h"
#include "support/test_support.h"

namespace qf {
namespace {

int EnvironmentNumber(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : fallback;
}

std::u16string Number(int n) { return Utf8ToUtf16(std::to_string(n)); }

// A row as the user sees it: the five texts and the Distance shown, and its distance from the base
// while there is one.
struct Row {
  std::array<std::u16string, kColumnCount> texts;
  std::int32_t distanceKey;
  bool operator==(const Row&) const = default;
};

struct Snapshot {
  std::vector<Row> rows;
  int baseRow;
  bool modified;
  bool basePointPinned;
  bool distanceShown;
  bool operator==(const Snapshot&) const = default;

  friend void PrintTo(const Snapshot& snapshot, std::ostream* out) {
    *out << "base " << snapshot.baseRow << (snapshot.modified ? ", modified" : "")
         << (snapshot.basePointPinned ? ", My Base Point" : "") << (snapshot.distanceShown ? ", Distance" : "");
    for (const Row& row : snapshot.rows) {
      *out << "\n ";
      for (const std::u16string& text : row.texts) *out << " |" << Utf16ToUtf8(text);
      if (snapshot.baseRow >= 0) *out << " | key " << row.distanceKey;
    }
  }
};

Snapshot Take(const PoiDocument& document) {
  Snapshot snapshot{{}, document.baseRow, document.modified, document.basePointPinned, document.display.showDistance};
  for (int row = 0; row < document.rowCount(); ++row) {
    Row& taken = snapshot.rows.emplace_back();
    for (int column = kName; column < kColumnCount; ++column) taken.texts[column] = document.text(row, column);
    taken.distanceKey = document.baseRow >= 0 ? document.rows[static_cast<std::size_t>(row)].distanceKey : 0;
  }
  return snapshot;
}

// The steps Undo can take back, counted by taking them all back and giving them all again.
int UndoDepth(PoiTable& table) {
  int depth = 0;
  for (; table.canUndo(); ++depth) table.undo();
  for (int step = 0; step < depth; ++step) table.redo();
  return depth;
}

// A command the editor made: its name for the failure message, and whether it is one step even
// when it changes nothing.
struct Command {
  const char* name;
  bool alwaysOneStep = false;
};

class RandomEditor {
 public:
  RandomEditor(PoiTable& table, BasePointSettings& saved, std::uint32_t seed)
      : table_(table), document_(table.document()), saved_(saved), random_(seed) {}

  // One user command; nothing when it could not be made (disabled, or nothing to act on).
  std::optional<Command> act() {
    selectRandomRows();
    switch (pick(25)) {
      case 0:
        return edit();
      case 1:
      case 2: {
        const int row = pick(2) == 0 ? table_.addRow() : table_.insertRowAtSelection();
        CommitCell(table_, row, kName, name());
        return Command{"add or insert a named row"};
      }
      case 3:
        table_.cancelNewRow(pick(2) == 0 ? table_.addRow() : table_.insertRowAtSelection());
        return Command{"add or insert, then Esc"};
      case 4:
        if (!anySelected()) return std::nullopt;
        table_.deleteSelected();
        return Command{"delete"};
      case 5:
        return move();
      case 6:
        if (!table_.headerClick(pick(6))) return std::nullopt;
        return Command{"header click", true};
      case 7:
        table_.sort(kName, pick(2) == 0);
        return Command{"sort", true};
      case 8:
        PasteRows(table_, pastedRows(), pick(2) == 0, port_);
        return Command{"paste"};
      case 9:
        InsertRowsAt(table_, pastedRows(), pick(document_.rowCount() + 3) - 1, pick(2) == 0, port_);
        return Command{"rows dropped from another program"};
      case 10:
        return drag();
      case 11:
        if (phonebook() || !anySelected()) return std::nullopt;
        PasteCoordinates(table_, ParsePastedCoordinates(pastedCoordinates(), pick(2) == 0));
        return Command{"paste coordinates"};
      case 12:
        if (!ordinary()) return std::nullopt;
        return combine();
      case 13:
        Clear(table_, {pick(2) == 0, pick(2) == 0, pick(6) == 0, pick(6) == 0, pick(2) == 0, pick(2) == 0});
        return Command{"clear columns"};
      case 14: {
        const int column = kLng + pick(4);
        if (phonebook() && column <= kLat) return std::nullopt;  // hidden columns are not clicked
        ClearColumn(table_, column);
        return Command{"clear column"};
      }
      case 15:
        if (!ordinary() || document_.richPoiFile) return std::nullopt;
        ClearAddresses(table_);
        return Command{"clear addresses"};
      case 16:
        ReplaceAll(table_, findState(), pick(2) == 0);
        return Command{"replace all"};
      case 17:
        ReplaceNext(table_, findState(), pick(2) == 0);
        return Command{"replace next"};
      case 18:
        if (phonebook()) return std::nullopt;
        MessCoordinates(table_, random_());
        return Command{"mess coordinates"};
      case 19:
        return setBasePoint();
      case 20:
        if (phonebook()) return std::nullopt;
        table_.toggleDistanceColumn();
        return Command{"show distance", true};
      case 21:
        return setMyBasePoint();
      case 22:
        return exportBasePoints();
      case 23:
        return importFile();
      default:
        return edit();
    }
  }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  bool anySelected() const { return std::ranges::any_of(document_.rows, &PoiRecord::selected); }
  bool isMyBasePointRow(int row) const { return row == 0 && document_.basePointPinned; }

  bool ordinary() const { return document_.kind == DocumentKind::Poi; }
  bool phonebook() const { return document_.kind == DocumentKind::Phonebook; }
  bool camera() const { return document_.kind == DocumentKind::SafetyCamera; }

  std::u16string name() { return u"POI " + Number(pick(30)) + (pick(3) == 0 ? u" a" : u""); }

  // What the Tel and Memo columns take in this kind of document.
  std::u16string telephone() { return camera() ? Number(pick(15) * 10) : u"020 " + Number(pick(999)); }
  std::u16string memo() {
    if (camera()) return std::u16string(kCameraTypeNames[pick(12)]);
    if (phonebook()) return std::u16string(kPhoneTypes[pick(4)]);
    return u"memo " + Number(pick(9)) + (pick(2) == 0 ? u" => Main St " + Number(pick(9)) : u"");
  }

  std::u16string coordinate() { return (pick(3) == 0 ? u"-" : u"") + Number(pick(60)) + u"." + Number(pick(99)); }

  // None, some, or every row.
  void selectRandomRows() {
    table_.clearSelection();
    const int rows = document_.rowCount();
    if (rows == 0) return;
    if (pick(6) == 0) {
      table_.selectAll();
      return;
    }
    const int count = pick(4);
    for (int i = 0; i < count; ++i) document_.rows[static_cast<std::size_t>(pick(rows))].selected = true;
  }

  std::optional<Command> edit() {
    if (document_.rows.empty()) return std::nullopt;
    const int row = pick(document_.rowCount());
    const int column = pick(5);
    // Cells the editor does not open on.
    if ((phonebook() && (column == kLng || column == kLat)) || (document_.richPoiFile && column == kMemo)) {
      return std::nullopt;
    }
    std::u16string text;
    switch (pick(4) == 0 ? -1 : column) {
      case -1:
        text = document_.text(row, column);  // committed unchanged
        break;
      case kName:
        text = name();
        break;
      case kLng:
      case kLat:
        text = pick(5) == 0 ? u"" : coordinate();
        break;
      case kTel:
        text = telephone();
        break;
      default:
        text = memo();
        break;
    }
    const CommitCheck check = CheckCommit(document_, row, column, text, false);
    if (check.messageId != 0) return std::nullopt;
    CommitCell(table_, row, column, check.value);
    return Command{"edit a cell"};
  }

  ExchangeRows pastedRows() {
    ExchangeRows rows(static_cast<std::size_t>(1 + pick(3)));
    for (ExchangeRow& row : rows) {
      row.texts = {pick(4) == 0 ? u" " : name(), coordinate(), coordinate(), telephone(), memo()};
    }
    port_.duplicateAnswers = {static_cast<DuplicateAnswer>(pick(4)), static_cast<DuplicateAnswer>(pick(4))};
    return rows;
  }

  std::u16string pastedCoordinates() {
    switch (pick(3)) {
      case 0:
        return coordinate() + u", " + coordinate();
      case 1:
        return coordinate();  // one value: both coordinates are emptied
      default:
        return std::u16string(document_.text(0, kLat)) + u", " + std::u16string(document_.text(0, kLng));
    }
  }

  // Enabled as the window enables it; a row moved past an equal one is still a step, as is a drag.
  std::optional<Command> move() {
    const bool up = pick(2) == 0;
    const int row = table_.firstSelected();
    const bool enabled = up ? row > (document_.basePointPinned ? 1 : 0)
                            : row >= 0 && !isMyBasePointRow(row) && row + 1 < document_.rowCount();
    if (!enabled) return std::nullopt;
    table_.moveSelected(up);
    return Command{"move up or down", true};
  }

  std::optional<Command> drag() {
    const int dropRow = table_.dropRowFor(pick(document_.rowCount() + 1));
    const bool copy = pick(2) == 0;
    if (table_.dropEffect(dropRow, copy) == PoiTable::DropEffect::None) return std::nullopt;
    table_.dropRows(dropRow, copy);
    return Command{"drag rows", true};
  }

  std::optional<Command> combine() {
    const CombinePart front = static_cast<CombinePart>(pick(5));
    const CombinePart back = static_cast<CombinePart>(pick(5));
    if (!CombinationAllowed(front, back, document_.richPoiFile)) return std::nullopt;
    const bool serial = front == CombinePart::Serial || back == CombinePart::Serial;
    Combine(table_, {front, back, serial ? u"0" + Number(pick(20)) : u" a" + Number(pick(9))});
    return Command{"combine"};
  }

  FindState findState() {
    static constexpr std::u16string_view kFinds[] = {u"a", u"POI", u"1", u"=>", u".", u"memo"};
    static constexpr std::u16string_view kReplacements[] = {u"", u"ab", u"b", u"POI", u"2", u"=> x"};
    return {pick(2) == 0, pick(2) == 0, false, std::u16string(kFinds[pick(6)]), std::u16string(kReplacements[pick(6)])};
  }

  // Enabled as the window enables it: the Distance column shown, a first selected row with a
  // position that is not the My Base Point row.
  std::optional<Command> setBasePoint() {
    const int row = table_.firstSelected();
    if (!document_.display.showDistance || row < 0 || isMyBasePointRow(row) || document_.text(row, kLng).empty() ||
        document_.text(row, kLat).empty()) {
      return std::nullopt;
    }
    SetBaseToSelection(table_);
    return Command{"set base point", true};
  }

  std::optional<Command> setMyBasePoint() {
    if (!document_.display.showDistance) return std::nullopt;
    BasePointList list(saved_, document_.display);
    list.selectOnly(pick(static_cast<int>(list.entries().size())));
    list.set(table_, saved_);
    return Command{"My Base Point: Set"};
  }

  std::optional<Command> exportBasePoints() {
    BasePointList list(saved_, document_.display);
    list.exportAll(table_);
    return Command{"My Base Point: Export All"};
  }

  // A few rows of the document's own kind, from a file, after the others. The file is written
  // plainly, once for the sequence: a save waits for the disk.
  std::optional<Command> importFile() {
    const FileFormat format = phonebook() ? FileFormat::Phonebook : FileFormat::Ov2;
    if (importFile_.empty()) {
      PoiDocument source;
      source.kind = document_.kind;
      for (int i = 0; i < 3; ++i) {
        const int row = AppendPoi(source, camera() ? u"Safety Camera" : name(), false);
        SetCell(source, row, kLng, coordinate());
        SetCell(source, row, kLat, coordinate());
        SetCell(source, row, kTel, telephone());
        SetCell(source, row, kMemo, memo());
      }
      FileSession session(source, FileOperation::Save, format, settings_, port_);
      MemorySink bytes;
      if (WriterFor(format)(session, bytes) != 0) return std::nullopt;
      importFile_ = test::TempDir() / "import";
      test::WriteBytes(importFile_, bytes.bytes);
    }
    ImportFile(table_, format, importFile_, settings_, port_);
    return Command{"import"};
  }

  PoiTable& table_;
  PoiDocument& document_;
  BasePointSettings& saved_;
  std::mt19937 random_;
  test::ScriptedUserPort port_;
  AppSettings settings_;
  std::filesystem::path importFile_;
};

// Twelve rows, some without a position, some memos with an address; the kind of document, the
// Distance column, the distance mode, the coordinate display, the base and the My Base Point row
// vary with the seed.
void Prepare(PoiTable& table, AppSettings& settings, std::uint32_t seed) {
  PoiDocument& document = table.document();
  constexpr DocumentKind kKinds[] = {DocumentKind::Poi, DocumentKind::Poi,       DocumentKind::Poi,
                                     DocumentKind::Poi, DocumentKind::Phonebook, DocumentKind::SafetyCamera};
  document.kind = kKinds[seed % 6];
  document.richPoiFile = seed % 8 == 3;
  document.display.showDistance = seed % 5 != 0 && document.kind != DocumentKind::Phonebook;
  document.display.adjacentDistance = seed % 2 == 0;
  document.display.dms = seed % 3 == 0;
  document.display.compass = seed % 4 == 0;
  for (int i = 0; i < 12; ++i) {
    const int row = AppendPoi(document, u"Start " + Number(i) + u" a", false);
    if (i % 5 != 4 && document.kind != DocumentKind::Phonebook) {
      SetCoordinateText(document, row, kLng, u"4." + Number(10 + i), false);
      SetCoordinateText(document, row, kLat, u"52." + Number(i), false);
    }
    SetTelephone(document, row, i % 3 == 0 ? u"020 555" : u"60");
    SetMemo(document, row, i % 4 == 0 ? u"Inn => Main St " + Number(i) : u"Cell");
  }
  settings.set(Switch::AutoBasePoint, seed % 3 == 1);
  settings.basePoints.entries = {u"Home>4.00000>52.00000>020 555>My home", u"Work>-1.50000>-2.25000>>",
                                 u"Gym>5.00000>50.00000>>"};
  settings.basePoints.insertIndex = static_cast<int>(seed % 3);
  InsertMyBasePoint(table, settings);
  if (!document.basePointPinned) SetBasePoint(document, static_cast<int>(seed % 12));
  document.modified = seed % 7 == 0;
}

TEST(UndoPropertyTest, UndoingEverythingRestoresTheStartAndRedoingRestoresTheEnd) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    PoiDocument document;
    document.display.showDistance = true;
    document.display.adjacentDistance = seed % 2 == 0;
    for (int i = 0; i < 12; ++i) {
      const int row = AppendPoi(document, u"Start " + Utf8ToUtf16(std::to_string(i)) + u" a", false);
      SetCell(document, row, kLng, u"4." + Utf8ToUtf16(std::to_string(10 + i)) + u"000");
      SetCell(document, row, kLat, u"52.00000");
    }
    SetBasePoint(document, static_cast<int>(seed % 12));
    PoiTable table(document);
    const Snapshot start = Take(document);
    BasePointSettings saved;
    saved.entries = {u"Home>4.00000>52.00000>020 555>My home"};
    RandomEditor editor(table, saved, seed);
    int actions = 0;
    for (int attempt = 0; attempt < 200 && actions < 64; ++attempt) actions += editor.act() ? 1 : 0;
    const Snapshot end = Take(document);
    while (table.canUndo()) table.undo();
    ASSERT_EQ(Take(document), start);
    while (table.canRedo()) table.redo();
    ASSERT_EQ(Take(document), end);
  }
}

TEST(UndoPropertyTest, EveryCommandIsOneStepThatUndoAndRedoReplayExactly) {
  const int only = EnvironmentNumber("QUILLFERN_UNDO_SEED", 0);
  const int seeds = only > 0 ? 1 : EnvironmentNumber("QUILLFERN_UNDO_SEEDS", 40);
  for (int n = 1; n <= seeds; ++n) {
    const auto seed = static_cast<std::uint32_t>(only > 0 ? only : n);
    SCOPED_TRACE("QUILLFERN_UNDO_SEED=" + std::to_string(seed));
    PoiDocument document;
    PoiTable table(document);
    AppSettings settings;
    Prepare(table, settings, seed);
    const Snapshot start = Take(document);
    RandomEditor editor(table, settings.basePoints, seed);
    // Fewer steps than the history keeps, so that every one can be counted.
    int depth = 0;
    for (int attempt = 0; attempt < 150 && depth < UndoLog::kMaxGroups - 4; ++attempt) {
      const Snapshot before = Take(document);
      const std::optional<Command> command = editor.act();
      if (!command) continue;
      SCOPED_TRACE("command " + std::to_string(attempt) + ": " + command->name);
      const Snapshot after = Take(document);
      const int added = command->alwaysOneStep || after != before ? 1 : 0;
      ASSERT_EQ(UndoDepth(table), depth + added) << "steps before the command: " << depth;
      ASSERT_EQ(Take(document), after) << "after undoing and redoing every step";
      depth += added;
      if (added == 0) continue;
      table.undo();
      ASSERT_EQ(Take(document), before) << "after one undo";
      table.redo();
      ASSERT_EQ(Take(document), after) << "after one redo";
    }
    const Snapshot end = Take(document);
    while (table.canUndo()) table.undo();
    ASSERT_EQ(Take(document), start);
    while (table.canRedo()) table.redo();
    ASSERT_EQ(Take(document), end);
  }
}

}  // namespace
}  // namespace qf
