#include "editing/ui/clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "editing/clipboard_edits.h"
#include "editing/row_exchange.h"
#include "core/string_table.h"
#include "editing/ui/qt_text.h"

namespace qf {

namespace {


const char* RowsTypeFor(DocumentKind kind) { return kind == DocumentKind::SafetyCamera ? kCameraRowsType : kPoiRowsType; }

std::span<const std::uint8_t> Bytes(const QByteArray& data) {
  return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}

QByteArray ByteArray(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QString TextOf(const ExchangeRows& rows, bool lngFirst, bool phonebook) {
  std::u16string text = RowsAsText(rows, lngFirst, phonebook);
  // The text form's byte-order mark and closing NUL belong to the raw clipboard, not to Qt's text.
  if (!text.empty() && text.front() == u'\xFEFF') text.erase(0, 1);
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return ToQString(text);
}

// The drag's rows, made from the selection when a target first asks for them, or when the drag
// ends: a target in another program may ask only then, after the rows have moved away.
class DraggedRows : public QMimeData {
 public:
  explicit DraggedRows(const PoiTable& table) : table_(&table) {}

  QStringList formats() const override {
    QStringList formats = QMimeData::formats();
    formats << QString::fromLatin1(kPoiRowsType) << QStringLiteral("text/plain");
    return formats;
  }
  bool hasFormat(const QString& type) const override { return formats().contains(type); }

  // From now on the drag carries the rows selected now, whatever becomes of the table.
  void keep() const {
    if (table_ == nullptr) return;
    const ExchangeRows rows = SelectedExchangeRows(table_->document());
    bytes_ = ByteArray(EncodeDragData(rows, table_->document().richPoiFile));
    text_ = TextOf(rows, table_->state.lngFirst, table_->document().kind == DocumentKind::Phonebook);
    table_ = nullptr;
  }

 protected:
  QVariant retrieveData(const QString& type, QMetaType metaType) const override {
    if (type == QLatin1String(kPoiRowsType)) {
      keep();
      return bytes_;
    }
    if (type == QLatin1String("text/plain")) {
      keep();
      return text_;
    }
    return QMimeData::retrieveData(type, metaType);
  }

 private:
  mutable const PoiTable* table_;
  mutable QByteArray bytes_;
  mutable QString text_;
};

}  // namespace

ClipboardOffer OfferOf(const QMimeData* data) {
  if (!data) return {};
  return {data->hasFormat(kPoiRowsType), data->hasFormat(kCameraRowsType), data->hasFormat(kRouteRowsType),
          data->hasText()};
}

void CopyRows(const PoiDocument& document, bool lngFirst) {
  const ExchangeRows rows = SelectedExchangeRows(document);
  if (rows.empty()) return;
  const std::vector<std::uint8_t> block = EncodeRowBlock(rows);
  auto* data = new QMimeData;
  data->setData(RowsTypeFor(document.kind), ByteArray(block));
  data->setText(TextOf(rows, lngFirst, document.kind == DocumentKind::Phonebook));
  QApplication::clipboard()->setMimeData(data);
}

void PasteFromClipboard(PoiTable& table, bool checkName, UserPort& port) {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  if (!data) return;
  ExchangeRows rows;
  if (data->hasFormat(RowsTypeFor(table.document().kind))) {
    rows = DecodeRowBlock(Bytes(data->data(RowsTypeFor(table.document().kind))));
  } else if (data->hasFormat(kRouteRowsType)) {
    rows = DecodeRouteRows(Bytes(data->data(kRouteRowsType)));
  }
  if (rows.empty()) return;
  if (const int eliminated = PasteRows(table, rows, checkName, port)) {
    port.showMessage(kEliminatedDuplicates, Severity::Information, FormatMessage(kEliminatedDuplicates, eliminated));
  }
}

QMimeData* NewDraggedRows(const PoiTable& table) { return new DraggedRows(table); }

void KeepDraggedRows(const QMimeData* data) {
  if (const auto* rows = dynamic_cast<const DraggedRows*>(data)) rows->keep();
}

bool HasDroppedRows(const QMimeData* data) {
  return data && (data->hasFormat(kPoiRowsType) || data->hasFormat(kRouteRowsType));
}

// Another editor drags the five fields, the route editor a position behind its own mark.
ExchangeRows DroppedRows(const QMimeData* data) {
  if (!data) return {};
  if (data->hasFormat(kPoiRowsType)) return DecodeDragRecords(Bytes(data->data(kPoiRowsType)));
  if (data->hasFormat(kRouteRowsType)) return DecodeRouteDragRecords(Bytes(data->data(kRouteRowsType)));
  return {};
}

void CopyCoordinates(const PoiDocument& document) {
  const auto selected = std::find_if(document.rows.begin(), document.rows.end(),
                                     [](const PoiRecord& record) { return record.selected; });
  if (selected == document.rows.end()) return;
  const int row = static_cast<int>(selected - document.rows.begin());
  QApplication::clipboard()->setText(
      ToQString(CoordinatesAsText(document.text(row, kLng), document.text(row, kLat), document.display)));
}

void PasteCoordinatesFromClipboard(PoiTable& table) {
  const QString text = QApplication::clipboard()->text().left(static_cast<int>(kPastedCoordinatesLimit));
  PasteCoordinates(table, ParsePastedCoordinates(ToU16(text), table.state.lngFirst));
}

}  // namespace qf
