#include "device/ui/open_device_dialog.h"

#include <QAbstractTableModel>
#include <QBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

#include "core/string_table.h"
#include "editing/ui/qt_text.h"

namespace qf {

using namespace Qt::StringLiterals;

namespace {

constexpr int kIconSize = 22;
constexpr MessageId kCaptions[kDeviceFileColumns] = {kDeviceNameColumn, kDeviceDateColumn, kDeviceSizeColumn,
                                                     kDeviceBmpColumn,  kDeviceOggColumn,  kDeviceRpfColumn,
                                                     kDeviceVifColumn};

// An icon of the list's size: smaller or larger pictures are scaled to it.
QIcon ListIcon(const QImage& image) {
  if (image.isNull()) return {};
  const QSize size(kIconSize, kIconSize);
  return QIcon(QPixmap::fromImage(image.size() == size ? image : image.scaled(size)));
}

QString Latin(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

// A row without an icon keeps the room of one, so that the names stand in line.
QIcon BlankIcon() {
  QPixmap blank(kIconSize, kIconSize);
  blank.fill(Qt::transparent);
  return QIcon(blank);
}

}  // namespace

// The rows of the list, with the icons that go with them wherever they are sorted to.
class DeviceFileModel : public QAbstractTableModel {
 public:
  DeviceFileModel(std::vector<DeviceFileRow> rows, std::map<int, QIcon> icons, QObject* parent)
      : QAbstractTableModel(parent), rows_(std::move(rows)), icons_(std::move(icons)), blank_(BlankIcon()) {}

  const std::vector<DeviceFileRow>& rows() const { return rows_; }

  void sort(int column, Qt::SortOrder order) override {
    beginResetModel();
    SortDeviceFileRows(rows_, static_cast<DeviceFileColumn>(column), order == Qt::AscendingOrder);
    endResetModel();
  }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kDeviceFileColumns; }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return UiText(kCaptions[section]);
    if (role == Qt::TextAlignmentRole) return alignment(section);
    return {};
  }

  QVariant data(const QModelIndex& index, int role) const override {
    const DeviceFileRow& row = rows_[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
      case Qt::DisplayRole:
        return text(row, column);
      case Qt::DecorationRole:
        if (column != 0) return {};
        if (const auto icon = icons_.find(row.position); icon != icons_.end()) return icon->second;
        return blank_;
      case Qt::TextAlignmentRole:
        return alignment(column);
      default:
        return {};
    }
  }

 private:
  static QVariant alignment(int column) {
    if (column == static_cast<int>(DeviceFileColumn::Size)) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (column >= kFirstCompanionColumn) return QVariant(Qt::AlignCenter);
    return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  }

  static QString text(const DeviceFileRow& row, int column) {
    switch (static_cast<DeviceFileColumn>(column)) {
      case DeviceFileColumn::Name:
        return ToQString(row.name);
      case DeviceFileColumn::Date:
        return ToQString(row.date);
      case DeviceFileColumn::Size:
        return ToQString(row.size);
      default:
        return row.companions[static_cast<std::size_t>(column - kFirstCompanionColumn)] ? UiText(kCheckMark)
                                                                                         : QString();
    }
  }

  std::vector<DeviceFileRow> rows_;
  std::map<int, QIcon> icons_;  // by listing position
  QIcon blank_;
};

OpenDeviceDialog::OpenDeviceDialog(const DeviceListing& listing, const IconSource& icons,
                                   const OpenDeviceSettings& size, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(u"Open GPS Device"_s);
  std::vector<DeviceFileRow> rows = DeviceFileRows(listing);
  std::map<int, QIcon> rowIcons;
  const std::size_t bmp = 0;
  for (DeviceFileRow& row : rows) {
    if (row.favorites) {
      rowIcons[row.position] = QIcon(u":/icons/doc-favorites.svg"_s);
    } else if (row.companions[bmp]) {
      // The mark says that the icon is there and can be shown.
      const QIcon icon = ListIcon(icons(row.name));
      row.companions[bmp] = !icon.isNull();
      if (!icon.isNull()) rowIcons[row.position] = icon;
    }
  }
  const int sortable = SortableRowCount(rows);
  model_ = new DeviceFileModel(std::move(rows), std::move(rowIcons), this);

  list_ = new QTreeView(this);
  list_->setModel(model_);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setIconSize(QSize(kIconSize, kIconSize));
  QHeaderView* header = list_->header();
  header->setStretchLastSection(false);
  header->setSectionsMovable(false);
  // With fewer than two files to order, a click on a caption does nothing; the dividers still work.
  header->setSectionsClickable(sortable >= 2);
  connect(header, &QHeaderView::sectionClicked, this, &OpenDeviceDialog::sortBy);
  if (sortable >= 2) sortBy(static_cast<int>(DeviceFileColumn::Name));
  for (int column = 0; column <= kFirstCompanionColumn; ++column) list_->resizeColumnToContents(column);
  for (int column = kFirstCompanionColumn + 1; column < kDeviceFileColumns; ++column) {
    header->resizeSection(column, header->sectionSize(kFirstCompanionColumn));
  }

  auto* buttons = new QHBoxLayout;
  ok_ = new QPushButton(u"OK"_s, this);
  auto* cancel = new QPushButton(u"Cancel"_s, this);
  delete_ = new QPushButton(u"Delete"_s, this);
  auto* refresh = new QPushButton(u"Refresh"_s, this);
  ok_->setDefault(true);
  buttons->addWidget(delete_);
  buttons->addWidget(refresh);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addLayout(buttons);

  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(delete_, &QPushButton::clicked, this, &OpenDeviceDialog::askDelete);
  connect(refresh, &QPushButton::clicked, this, [this] { done(Refresh); });
  connect(list_, &QTreeView::doubleClicked, this, [this] {
    if (ok_->isEnabled()) accept();
  });
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &OpenDeviceDialog::updateButtons);
  if (model_->rowCount({}) > 0) list_->setCurrentIndex(model_->index(0, 0));
  updateButtons();

  setMinimumSize(kMinOpenDeviceWidth, kMinOpenDeviceHeight);
  const QSize room = parent ? parent->screen()->availableSize() : QSize(size.width, size.height);
  resize(std::min(size.width, room.width()), std::min(size.height, room.height()));
}

OpenDeviceDialog::~OpenDeviceDialog() = default;

std::u16string OpenDeviceDialog::chosenName() const {
  const DeviceFileRow* row = selectedRow();
  return row ? row->name : std::u16string();
}

OpenDeviceSettings OpenDeviceDialog::chosenSize() const { return {width(), height()}; }

void OpenDeviceDialog::sortBy(int column) {
  ascending_ = column == sortColumn_ ? !ascending_ : true;
  sortColumn_ = column;
  const std::u16string selected = chosenName();
  const Qt::SortOrder order = ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder;
  model_->sort(column, order);
  list_->header()->setSortIndicatorShown(true);
  list_->header()->setSortIndicator(column, order);
  // The chosen file stays chosen wherever it went.
  const std::vector<DeviceFileRow>& rows = model_->rows();
  for (std::size_t row = 0; row < rows.size() && !selected.empty(); ++row) {
    if (rows[row].name == selected) {
      list_->setCurrentIndex(model_->index(static_cast<int>(row), 0));
      list_->scrollTo(list_->currentIndex());
      break;
    }
  }
}

const DeviceFileRow* OpenDeviceDialog::selectedRow() const {
  const QModelIndexList selected = list_->selectionModel()->selectedRows();
  if (selected.isEmpty()) return nullptr;
  return &model_->rows()[static_cast<std::size_t>(selected.first().row())];
}

void OpenDeviceDialog::updateButtons() {
  const DeviceFileRow* row = selectedRow();
  ok_->setEnabled(row != nullptr);
  delete_->setEnabled(row != nullptr && !row->favorites);
}

void OpenDeviceDialog::askDelete() {
  const DeviceFileRow* row = selectedRow();
  if (row == nullptr || row->favorites) return;
  QString question = UiText(kDeleteDeviceFiles);
  for (std::size_t companion = 0; companion < row->companions.size(); ++companion) {
    if (row->companions[companion]) question += u" | "_s + Latin(kDeviceExtensions[companion + 1]);
  }
  if (QMessageBox::question(this, UiText(kProgramTitle), question, QMessageBox::Ok | QMessageBox::Cancel) ==
      QMessageBox::Ok) {
    done(Delete);
  }
}

}  // namespace qf
