#include "shell/ui/folder_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "editing/ui/qt_text.h"
#include "formats/folder_display.h"
#include "shell/ui/elided_label.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;
constexpr int kDriveRole = Qt::UserRole + 2;

QString ToQPath(const fs::path& path) { return QString::fromStdString(path.string()); }
fs::path ToPath(const QString& path) { return fs::path(path.toStdString()); }

// Whether a block device is one the system calls removable (memory cards, sticks, most
// navigation devices); a partition asks its disk.
bool RemovableDevice(const QByteArray& device) {
  if (!device.startsWith("/dev/")) return false;
  const QString block = QFileInfo(u"/sys/class/block/"_s + QString::fromUtf8(device.mid(5))).canonicalFilePath();
  if (block.isEmpty()) return false;
  for (const QString& folder : {block, QFileInfo(block).path()}) {
    QFile flag(folder + u"/removable"_s);
    if (flag.open(QIODevice::ReadOnly)) return flag.readAll().trimmed() == "1";
  }
  return false;
}

// Drives the desktop mounted for the user (under /media or /run/media) count as removable too: a
// device with a disk inside often says it is fixed.
std::vector<QStorageInfo> RemovableVolumes() {
  std::vector<QStorageInfo> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady() || volume.isRoot()) continue;
    const QString root = volume.rootPath();
    if (root.startsWith(u"/media/"_s) || root.startsWith(u"/run/media/"_s) || RemovableDevice(volume.device())) {
      volumes.push_back(volume);
    }
  }
  return volumes;
}

QTreeWidgetItem* ChildWithPath(QTreeWidgetItem* item, const QString& path) {
  for (int i = 0; i < item->childCount(); ++i) {
    if (item->child(i)->data(0, kPathRole).toString() == path) return item->child(i);
  }
  return nullptr;
}

}  // namespace

UserFolders CurrentUserFolders() {
  return {ToPath(QDir::homePath()), ToPath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)),
          ToPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))};
}

FolderDialog::FolderDialog(const QString& caption, const QString& position, QWidget* parent)
    : QDialog(parent), position_(position) {
  setWindowTitle(caption);
  status_ = new ElidedLabel(Qt::ElideMiddle, this);
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  showDrives();
  // The system marks its mount table when a drive comes or goes; the drives are then listed again.
  mounts_.setFileName(u"/proc/self/mounts"_s);
  if (mounts_.open(QIODevice::ReadOnly)) {
    auto* notifier = new QSocketNotifier(mounts_.handle(), QSocketNotifier::Exception, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
      mounts_.seek(0);
      mounts_.readAll();  // reading the table again clears its mark
      showDrives();
    });
  }
  addRoot(tree_->topLevelItemCount(), u"~"_s, ToPath(QDir::homePath()));
  addRoot(tree_->topLevelItemCount(), u"/"_s, "/");
  // No folder is chosen until the user chooses one; otherwise the tree takes its first folder as
  // soon as it gets the focus.
  tree_->setCurrentIndex(QModelIndex());
  connect(tree_, &QTreeWidget::itemExpanded, this, &FolderDialog::fillChildren);
  connect(tree_, &QTreeWidget::currentItemChanged, this, &FolderDialog::folderChanged);

  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = box->button(QDialogButtonBox::Ok);
  ok_->setEnabled(false);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(this, &FolderDialog::folderChanged, this, [this] { ok_->setEnabled(folder().has_value()); });
  connect(this, &FolderDialog::folderChanged, this, &FolderDialog::showPosition);

  options_ = new QVBoxLayout;
  buttons_ = new QHBoxLayout;
  buttons_->addStretch();
  buttons_->addWidget(box);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(tree_, 1);
  layout->addLayout(options_);
  layout->addLayout(buttons_);
  resize(520, 520);
}

void FolderDialog::showDrives() {
  for (int i = tree_->topLevelItemCount() - 1; i >= 0; --i) {
    if (tree_->topLevelItem(i)->data(0, kDriveRole).toBool()) delete tree_->takeTopLevelItem(i);
  }
  int at = 0;
  for (const QStorageInfo& volume : RemovableVolumes()) {
    const QString name = volume.displayName();
    const QString label = name == volume.rootPath() ? name : u"%1 (%2)"_s.arg(name, volume.rootPath());
    addRoot(at++, label, ToPath(volume.rootPath()))->setData(0, kDriveRole, true);
  }
}

QTreeWidgetItem* FolderDialog::addRoot(int at, const QString& label, const fs::path& path) {
  auto* item = new QTreeWidgetItem(QStringList{label});
  tree_->insertTopLevelItem(at, item);
  item->setData(0, kPathRole, ToQPath(path));
  item->setIcon(0, style()->standardIcon(path == "/" ? QStyle::SP_DriveHDIcon : QStyle::SP_DirIcon));
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

void FolderDialog::fillChildren(QTreeWidgetItem* item) {
  if (item->data(0, kFilledRole).toBool()) return;
  item->setData(0, kFilledRole, true);
  const QDir dir(item->data(0, kPathRole).toString());
  const QFileInfoList entries =
      dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
  for (const QFileInfo& entry : entries) {
    auto* child = new QTreeWidgetItem(item, {entry.fileName()});
    child->setData(0, kPathRole, entry.absoluteFilePath());
    child->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  }
  if (entries.isEmpty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void FolderDialog::selectFolder(const fs::path& folder) {
  const fs::path target = folder.lexically_normal();
  // The root that holds the folder most closely: a drive before the home folder before "/".
  QTreeWidgetItem* item = nullptr;
  std::size_t closest = 0;
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = tree_->topLevelItem(i);
    const fs::path rootPath = ToPath(root->data(0, kPathRole).toString());
    const fs::path rest = target.lexically_relative(rootPath);
    if (rest.empty() || *rest.begin() == "..") continue;
    const std::size_t length = rootPath.string().size();
    if (!item || length > closest) {
      item = root;
      closest = length;
    }
  }
  if (!item) return;
  fs::path path = ToPath(item->data(0, kPathRole).toString());
  for (const fs::path& part : target.lexically_relative(path)) {
    if (part == ".") continue;
    fillChildren(item);
    item->setExpanded(true);
    path /= part;
    QTreeWidgetItem* child = ChildWithPath(item, ToQPath(path));
    if (!child) break;
    item = child;
  }
  tree_->setCurrentItem(item);
  tree_->scrollToItem(item);
}

std::optional<fs::path> FolderDialog::folder() const {
  const QTreeWidgetItem* item = tree_->currentItem();
  if (!item) return std::nullopt;
  return ToPath(item->data(0, kPathRole).toString());
}

void FolderDialog::start(const fs::path& lastFolder) {
  if (!lastFolder.empty()) selectFolder(lastFolder);
  showPosition();
}

void FolderDialog::showPosition() {
  const std::optional<fs::path> path = shownPath();
  status_->setText(path ? position_ + u"  "_s + ToQString(FolderDisplayForm(*path, CurrentUserFolders())) : position_);
}

}  // namespace qf
