#include "shell/ui/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>

#include <utility>

#include "core/distances.h"
#include "core/profile_file.h"
#include "editing/base_points.h"
#include "editing/clipboard_edits.h"
#include "editing/column_edits.h"
#include "editing/exchange_link.h"
#include "editing/file_import.h"
#include "editing/find_replace.h"
#include "editing/ui/cell_editor.h"
#include "editing/ui/clear_dialog.h"
#include "editing/ui/clipboard.h"
#include "editing/ui/combine_dialog.h"
#include "editing/ui/poi_table_model.h"
#include "editing/ui/poi_table_view.h"
#include "editing/ui/route_exchange.h"
#include "formats/file_format.h"
#include "formats/batch_conversion.h"
#include "formats/favourites.h"
#include "formats/file_pipeline.h"
#include "formats/name_translation.h"
#include "shell/command_table.h"
#include "shell/document_icon.h"
#include "shell/favorite_url.h"
#include "shell/file_commands.h"
#include "shell/option_changes.h"
#include "shell/status_text.h"
#include "shell/version_check.h"
#include "core/string_table.h"
#include "shell/ui/about_dialog.h"
#include "shell/ui/appearance.h"
#include "shell/ui/base_point_dialog.h"
#include "shell/ui/check_dialog.h"
#include "shell/ui/check_results_window.h"
#include "shell/ui/dialog_fading.h"
#include "shell/ui/gui_user_port.h"
#include "shell/ui/name_preview.h"
#include "shell/ui/query_names_dialog.h"
#include "shell/ui/url_handlers.h"
#include "shell/ui/options_dialog.h"
#include "editing/ui/qt_text.h"
#include "shell/ui/toolbar.h"
#include "shell/ui/toolbar_customize_dialog.h"
#include "shell/window_placement.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

constexpr int kFirstRecentCommand = 1100;
constexpr int kMinPaneWidth = 100;

// An item with a menu's own wording of a command: it runs the command's action and shows its state.
void AddCommandItem(QMenu* menu, QAction* action, const QString& text) {
  QAction* item = menu->addAction(action->icon(), text);
  item->setCheckable(action->isCheckable());
  const auto follow = [item, action] {
    item->setEnabled(action->isEnabled());
    item->setChecked(action->isChecked());
  };
  follow();
  QObject::connect(action, &QAction::changed, item, follow);
  QObject::connect(item, &QAction::triggered, action, &QAction::trigger);
}

QIcon CommandIcon(int image) {
  static const QStringList files = QDir(u":/icons"_s).entryList({u"[0-9][0-9]-*.svg"_s}, QDir::Files, QDir::Name);
  if (image < 0 || image >= files.size()) return {};
  return QIcon(u":/icons/"_s + files[image]);
}

}  // namespace

MainWindow::MainWindow(fs::path settingsPath, QWidget* parent)
    : QMainWindow(parent),
      settingsPath_(std::move(settingsPath)),
      tomtomHomeProbe_([] { return HasUrlHandler(u"tomtomhome"_s); }),
      urlOpener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  StartSettings start = ReadSettingsFile(settingsPath_);
  settings_ = start.settings;
  settingsWarnings_ = std::move(start.warnings);
  checkName_ = settings_.on(Switch::CheckName);
  applySettingsToDocument();

  model_ = new PoiTableModel(table_, this);
  view_ = new PoiTableView(*model_, this);
  editor_ = new CellEditor(*view_, table_, checkName_);
  view_->setAutoColumn(settings_.on(Switch::AutoColumn));
  // The map pane joins the table behind a 6-pixel splitter; neither gets narrower than 100 pixels.
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setChildrenCollapsible(false);
  splitter_->setHandleWidth(6);
  view_->setMinimumWidth(kMinPaneWidth);
  splitter_->addWidget(view_);
  setCentralWidget(splitter_);
  buildStatusBar();
  if (!settings_.font.name.empty()) applyTableFont(ToQFont(settings_.font), ToQColor(settings_.font.colour));
  if (settings_.font.useBackground && !ApplyTableBackground(view_, settings_.font.background)) {
    settings_.font.useBackground = false;
  }
  port_ = std::make_unique<GuiUserPort>(this, statusText_, progressBar_);
  buildActions();
  buildMenus();
  buildToolbar();
  buildWindowMenu();

  connect(view_, &PoiTableView::addRequested, this, [this] { run(CommandId::Add); });
  connect(view_, &PoiTableView::editRequested, this, [this](int row, int column) {
    if (!editor_->commit()) return;
    editor_->open(row, column);
  });
  connect(view_, &PoiTableView::headerClicked, this, [this](int column) {
    if (!editor_->commit()) return;
    if (table_.headerClick(column)) view_->showSortArrow();
    afterEdit();
  });
  connect(view_, &PoiTableView::headerMenuRequested, this, &MainWindow::showHeaderMenu);
  connect(view_, &PoiTableView::tableMenuRequested, this, [this](const QPoint& position) {
    refreshCommandStates();
    listViewMenu_->exec(position);
  });
  connect(view_, &PoiTableView::rowsDropped, this, [this](int dropRow, bool copy) {
    runLong(copy ? kCopying : kMoving, [this, dropRow, copy] { table_.dropRows(dropRow, copy); });
    afterEdit();
  });
  view_->setReadyForRows([this] { return readiness() == ReceiveReply::Ready; });
  connect(view_, &PoiTableView::rowsReceived, this, [this](int dropRow, const ExchangeRows& rows) {
    receiveRows([&] { return InsertRowsAt(table_, rows, dropRow, checkName_, *port_); });
  });
  connect(view_, &PoiTableView::rowsMovedAway, this, [this] { run(CommandId::Delete); });
  connect(editor_, &CellEditor::hintChanged, this, [this](const QString& hint) { showStatus(hint); });
  connect(editor_, &CellEditor::closed, this, [this](int row) {
    // The row the editor closed on is selected again, so that the keyboard goes on from there.
    const int rows = document_.rowCount();
    if (table_.firstSelected() < 0 && rows > 0) {
      table_.selectAndFocus(std::min(row, rows - 1));
      table_.makeVisible(std::min(row, rows - 1));
    }
    readyPending_ = true;
    afterEdit();
  });

  const QRect available = screen()->availableGeometry();
  const WindowPlacement placement =
      PlaceMainWindow(settings_.window, {available.left(), available.top(), available.width(), available.height()});
  setMinimumSize(kMinWindowWidth, kMinWindowHeight);
  setGeometry(placement.rect.left, placement.rect.top, placement.rect.width, placement.rect.height);
  if (placement.maximised) setWindowState(Qt::WindowMaximized);
  setAcceptDrops(true);

  connect(&tickTimer_, &QTimer::timeout, this, &MainWindow::tick);
  tickTimer_.start(500);
  connect(&autoSaveTimer_, &QTimer::timeout, this, &MainWindow::autoSave);
  restartAutoSave();
  newDocument();
  exchange_ = std::make_unique<ExchangeServer>(
      LoadString(kProgramName), [this](const ExchangeMessage& message) { return answerPeer(message); });
  startVersionCheck();
}

void MainWindow::startVersionCheck() {
  versionNotice_ = new VersionNotice(
      *statusBar(),
      [this](int now) { updateSettingsFile([now](ProfileFile& profile) { WriteLastNotify(profile, now); }); },
      [this] { run(CommandId::QuillfernHome); }, this);
  ProfileFile profile;
  profile.load(settingsPath_);
  versionNotice_->start({.url = settings_.services.versionFile,
                         .ownVersion = OwnVersionText(QUILLFERN_VERSION),
                         .codePage = settings_.codePage,
                         .lastNotify = ReadLastNotify(profile)});
}

void MainWindow::openHelpLink(CommandId id) {
  const ServiceSettings& services = settings_.services;
  const std::string& target = id == CommandId::TomTomHome  ? services.tomtomLink
                              : id == CommandId::UserForum ? services.forumLink
                              : id == CommandId::QuillfernHome ? services.homeLink
                                                               : services.mailLink;
  const bool opened = !target.empty() && urlOpener_(QUrl(QString::fromStdString(target)));
  if (!opened && id == CommandId::MailtoProgramer) {
    port_->showMessage(kCannotStartMail, Severity::Information, LoadString(kCannotStartMail));
  }
}

// The results window observes the table, which goes before the window's children do.
MainWindow::~MainWindow() { delete checkWindow_; }

void MainWindow::applySettingsToDocument() {
  document_.display = settings_.displayOptions();
  // A phonebook has no positions to measure from.
  if (document_.kind == DocumentKind::Phonebook) document_.display.showDistance = false;
  table_.state.lngFirst = settings_.on(Switch::LngFirst);
}

QAction* MainWindow::action(CommandId id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

// ------------------------------------------------------------------------------------ building

void MainWindow::buildStatusBar() {
  statusText_ = new QLabel(UiText(kReady));
  progressBar_ = new QProgressBar;
  progressBar_->setRange(0, 100);
  progressBar_->setMaximumWidth(160);
  progressBar_->hide();
  documentIcon_ = new QLabel;
  counter_ = new QLabel;
  clock_ = new QLabel;
  statusBar()->addWidget(statusText_, 1);
  statusBar()->addWidget(progressBar_);
  statusBar()->addPermanentWidget(documentIcon_);
  statusBar()->addPermanentWidget(counter_);
  statusBar()->addPermanentWidget(clock_);
  statusBar()->setVisible(settings_.on(Switch::ShowStatusBar));
}

// Where the desktop has no window menu of ours, the status bar's context menu offers its items.
void MainWindow::buildWindowMenu() {
  statusBar()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(statusBar(), &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
    refreshCommandStates();
    QMenu menu(this);
    for (const CommandId id : {CommandId::ShowMenuBar, CommandId::ShowToolbar, CommandId::ShowStatusBar}) {
      AddCommandItem(&menu, action(id), ToQString(MenuTextWithoutMnemonics(Command(id).menuText)));
    }
    menu.exec(statusBar()->mapToGlobal(position));
  });
}

void MainWindow::buildActions() {
  for (const CommandInfo& info : Commands()) {
    auto* action = new QAction(QString::fromUtf8(info.menuText).section(u'\t', 0, 0), this);
    QList<QKeySequence> keys;
    for (const char* key : info.keys) {
      if (key) keys.append(QKeySequence::fromString(QString::fromUtf8(key), QKeySequence::PortableText));
    }
    // Enter belongs to the table and the cell editor; Alt+F4 to the window manager.
    if (info.id != CommandId::Add && info.id != CommandId::Exit) action->setShortcuts(keys);
    action->setStatusTip(ToQString(CommandHelp(info.id)));
    if (info.image >= 0) {
      action->setIcon(CommandIcon(info.image));
      action->setToolTip(ToQString(CommandTooltip(info.id)));
    }
    action->setCheckable(info.check != CheckStyle::None);
    const CommandId id = info.id;
    connect(action, &QAction::triggered, this, [this, id] { run(id); });
    addAction(action);
    actions_[id] = action;
  }
}

void MainWindow::fillMenu(QMenu* menu, std::span<const MenuItem> items) {
  for (const MenuItem& item : items) {
    if (item.id == kSeparator) {
      menu->addSeparator();
    } else if (item.text) {
      AddCommandItem(menu, action(item.id), QString::fromUtf8(item.text).section(u'\t', 0, 0));
    } else {
      menu->addAction(action(item.id));
    }
  }
}

void MainWindow::buildMenus() {
  for (const MenuBarMenu& entry : MenuBar()) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(entry.title));
    menu->menuAction()->setStatusTip(UiText(entry.helpId));
    fillMenu(menu, entry.items);
    connect(menu, &QMenu::aboutToShow, this, [this] {
      editor_->commit();
      refreshCommandStates();
      refreshRecentFileStates();
    });
    if (!fileMenu_) fileMenu_ = menu;
  }
  menuBar()->installEventFilter(this);
  listViewMenu_ = new QMenu(this);
  fillMenu(listViewMenu_, ListViewPopup());
  menuBar()->setVisible(settings_.on(Switch::ShowMenuBar));
  rebuildRecentFiles();
}

void MainWindow::buildToolbar() {
  toolbar_ = new Toolbar([this](CommandId id) { return action(id); }, settings_, this);
  toolbar_->setObjectName(u"toolbar"_s);
  toolbar_->setMovable(false);
  addToolBar(toolbar_);
  auto* popup = new QMenu(this);
  fillMenu(popup, ToolbarPopup());
  connect(toolbar_, &Toolbar::contextMenuRequested, this, [this, popup](const QPoint& position) {
    if (!editor_->commit()) return;
    refreshCommandStates();
    popup->exec(position);
  });
  toolbar_->setVisible(settings_.on(Switch::ShowToolbar));
}

void MainWindow::showStatus(const QString& text) { statusText_->setText(ToQString(StatusText(ToU16(text)))); }

void MainWindow::showStatus(const QString& text, bool readyAfter) {
  showStatus(text);
  readyPending_ = readyAfter;
}

void MainWindow::setMapServices(std::unique_ptr<MapServices> map) {
  map_ = std::move(map);
  QWidget* pane = map_->pane();
  pane->setMinimumWidth(kMinPaneWidth);
  pane->hide();
  splitter_->addWidget(pane);
  splitter_->handle(1)->installEventFilter(this);
  connect(splitter_, &QSplitter::splitterMoved, this, [this] { rememberMapPaneWidth(); });
}

void MainWindow::setDeviceServices(std::unique_ptr<DeviceServices> device) { device_ = std::move(device); }

void MainWindow::showMapPane(bool shown) {
  QWidget* pane = map_->pane();
  if (shown == pane->isVisible()) return;
  if (!shown) {
    rememberMapPaneWidth();
    if (pane->isAncestorOf(QApplication::focusWidget())) view_->setFocus();
    pane->hide();
    return;
  }
  const int room = splitter_->width() - splitter_->handleWidth();
  const int width = std::clamp(settings_.window.mapPaneWidth.value_or(room / 2), kMinPaneWidth,
                               std::max(kMinPaneWidth, room - kMinPaneWidth));
  pane->show();
  splitter_->setSizes({room - width, width});
}

void MainWindow::rememberMapPaneWidth() {
  if (map_ && map_->pane()->isVisible() && map_->pane()->width() > 0) settings_.window.mapPaneWidth = map_->pane()->width();
}

void MainWindow::putMapOption(int command) {
  if (map_ && map_->mapShown()) map_->putOption(command);
}

void MainWindow::applyTableFont(const QFont& font, const QColor& colour) {
  showStatus(UiText(kSettingFont));
  view_->setFont(font);
  view_->horizontalHeader()->setFont(font);
  QPalette palette = view_->palette();
  palette.setColor(QPalette::Text, colour);
  view_->setPalette(palette);
  view_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
  if (settings_.on(Switch::AutoColumn)) view_->refit(-1);
  readyPending_ = true;
}

void MainWindow::toggleTableBackground() {
  FontSettings& font = settings_.font;
  if (font.useBackground) {
    RemoveTableBackground(view_);
    font.useBackground = false;
    return;
  }
  const std::optional<fs::path> image = ChooseTableBackground(this, font, settings_.on(Switch::FadeWindow));
  if (!image || !ApplyTableBackground(view_, *image)) return;
  font.background = *image;
  font.useBackground = true;
}

void MainWindow::chooseToolbarColour() {
  const ToolbarColourChoice choice =
      ChooseToolbarColour(this, settings_, [this](QColor) { toolbar_->update(); });
  if (!choice.confirmed) return;
  // The colours are written at once, not at exit.
  updateSettingsFile([this, &choice](ProfileFile& profile) {
    SaveCustomColours(settings_, profile);
    if (choice.colourChanged) SaveToolbarColour(settings_, profile);
  });
  toolbar_->update();
}

void MainWindow::showOptions() {
  OptionsDialog dialog(settings_, document_.kind, this);
  dialog.setWindowIcon(action(CommandId::Options)->icon());
  if (dialog.exec() != QDialog::Accepted) return;
  const AppSettings before = settings_;
  const AppSettings after = dialog.editedSettings();
  settings_ = after;
  // Each changed display switch runs its command, which flips the switch itself.
  for (const CommandId id : CommandsForChangedOptions(before, after)) {
    settings_.switches = before.switches;
    run(id);
    settings_.switches = after.switches;
  }
  if (const std::optional<std::size_t> keep = RecentFilesToKeep(before, after)) {
    if (settings_.recentFiles.size() > *keep) settings_.recentFiles.resize(*keep);
    rebuildRecentFiles();
  }
  if (AutoSaveTimerChanged(before, after)) {
    autoSaveTimer_.stop();
    restartAutoSave();
  }
  checkName_ = settings_.on(Switch::CheckName);
  view_->setAutoColumn(settings_.on(Switch::AutoColumn));
  if (map_ && map_->mapShown()) {
    if (before.googleMapsLang != after.googleMapsLang) {
      map_->showMap();
    } else {
      for (const int command : MapOptionCommands(before, after)) map_->putOption(command);
    }
  }
}

void MainWindow::customizeToolbar() {
  ToolbarCustomizeDialog dialog(*toolbar_, settings_, this);
  dialog.setWindowIcon(action(CommandId::CustomizeToolbar)->icon());
  // The arrangement is stored at every change, not only at exit.
  connect(&dialog, &ToolbarCustomizeDialog::buttonsChanged, this, [this] {
    updateSettingsFile([this](ProfileFile& profile) { SaveToolbarButtons(settings_, profile); });
  });
  dialog.exec();
}

void MainWindow::showMyBasePoint() {
  BasePointDialog dialog(table_, settings_, view_->palette().color(QPalette::Text), this);
  dialog.setWindowIcon(action(CommandId::MyBasePoint)->icon());
  const int result = dialog.exec();
  settings_.basePoints.dialogWidth = dialog.width();
  settings_.basePoints.dialogHeight = dialog.height();
  updateSettingsFile([this, &dialog, result](ProfileFile& profile) {
    if (dialog.listKept()) {
      SaveBasePointList(settings_, profile);
    } else if (result != QDialog::Rejected) {
      SaveBasePointIndex(settings_, profile);
    }
    SaveBasePointDialogSize(settings_, profile);
  });
}

void MainWindow::startCheck() {
  if (checkWindow_) {
    checkWindow_->raise();
    checkWindow_->activateWindow();
    return;
  }
  CheckDialog dialog(checkSettings_, document_, settings_.on(Switch::FadeWindow), this);
  dialog.setWindowIcon(action(CommandId::Check)->icon());
  if (dialog.exec() != QDialog::Accepted) return;
  checkSettings_ = dialog.choices();
  checkWindow_ = new CheckResultsWindow(table_, *view_, checkSettings_, settings_, *port_, this);
  checkWindow_->setWindowIcon(action(CommandId::Check)->icon());
  connect(checkWindow_, &CheckResultsWindow::running, this, [this](bool running) {
    busy_ = running;
    readyPending_ = !running;
  });
  connect(checkWindow_, &CheckResultsWindow::goToRequested, this, [this] {
    activateWindow();
    view_->setFocus();
  });
  connect(checkWindow_, &CheckResultsWindow::activated, editor_, &CellEditor::cancel);
  connect(checkWindow_, &QDialog::finished, this, [this] {
    checkWindow_ = nullptr;
    updateSettingsFile([this](ProfileFile& profile) { SaveCheckWindow(settings_, profile); });
    refreshCommandStates();
  });
  checkWindow_->start();
}

void MainWindow::closeCheck() {
  if (checkWindow_) checkWindow_->reject();
}

void MainWindow::updateSettingsFile(const std::function<void(ProfileFile&)>& change) {
  ProfileFile profile;
  if (!MaySaveOver(profile.load(settingsPath_))) return;
  change(profile);
  profile.save(settingsPath_);
}

void MainWindow::rebuildRecentFiles() {
  // Later, not now: the list is rebuilt while one of its items is still telling of its click.
  for (QAction* action : recentActions_) {
    fileMenu_->removeAction(action);
    action->deleteLater();
  }
  recentActions_.clear();
  if (!settings_.on(Switch::RecentFile) || settings_.recentFiles.empty()) return;
  QAction* exit = action(CommandId::Exit);
  const QFontMetrics metrics(fileMenu_->font());
  const TextWidth width = [&metrics](std::u16string_view text) { return metrics.horizontalAdvance(ToQString(text)); };
  for (std::size_t i = 0; i < settings_.recentFiles.size(); ++i) {
    const fs::path path = settings_.recentFiles[i];
    auto* item = new QAction(ToQString(RecentFileMenuText(static_cast<int>(i), path, width)), fileMenu_);
    item->setData(kFirstRecentCommand + static_cast<int>(i));
    item->setStatusTip(recentFileHelp(path));
    // The status bar may have changed its width since the list was built.
    connect(item, &QAction::hovered, this, [this, item, path] {
      item->setStatusTip(recentFileHelp(path));
      statusBar()->showMessage(item->statusTip());
    });
    connect(item, &QAction::triggered, this, [this, path] { openPath(path); });
    fileMenu_->insertAction(exit, item);
    recentActions_.append(item);
  }
  recentActions_.append(fileMenu_->insertSeparator(exit));
}

// "Opens the recent file" and the path, shortened to fit the status bar.
QString MainWindow::recentFileHelp(const fs::path& path) const {
  const QFontMetrics metrics(statusBar()->font());
  const TextWidth width = [&metrics](std::u16string_view text) { return metrics.horizontalAdvance(ToQString(text)); };
  const QString help = UiText(kRecentFileHelp) + u' ';
  constexpr int kStatusMargin = 8;
  const int room = statusBar()->width() - kStatusMargin - metrics.horizontalAdvance(help);
  return help + ToQString(CompactPath(path.u16string(), room, width));
}

// ------------------------------------------------------------------------------------ state

void MainWindow::refreshCommandStates() { applyCommandStates(commandContext()); }

CommandContext MainWindow::commandContext() const {
  CommandContext context = ContextFromTable(table_);
  context.headerColumn = headerColumn_;
  context.hasFindText = !find_.findText.empty();
  const ClipboardOffer clipboard = OfferOf(QApplication::clipboard()->mimeData());
  context.clipboardHasPoiRows = clipboard.poiRows;
  context.clipboardHasCameraRows = clipboard.cameraRows;
  context.clipboardHasRouteRows = clipboard.routeRows;
  context.clipboardHasText = clipboard.text;
  context.menuBarShown = settings_.on(Switch::ShowMenuBar);
  context.toolbarShown = settings_.on(Switch::ShowToolbar);
  context.largeToolbar = settings_.on(Switch::LargeToolbar);
  context.wrapToolbar = settings_.on(Switch::WrapToolbar);
  context.statusBarShown = settings_.on(Switch::ShowStatusBar);
  context.tableBackgroundShown = settings_.font.useBackground;
  context.checkWindowOpen = checkWindow_ != nullptr;
  context.routeEditorRunning = ProgramRunning(LoadString(kRouteEditorName));
  if (!tomtomHomeInstalled_) tomtomHomeInstalled_ = tomtomHomeProbe_();
  context.homeServiceInstalled = *tomtomHomeInstalled_;
  context.googleEarthRegistered = globe_.available();
  context.mapPagePathExists = map_ != nullptr;
  context.deviceConnected = device_ && device_->devicePresent();
  context.deviceOffersScreenshots = device_ && device_->offersScreenshots();
  return context;
}

void MainWindow::applyCommandStates(const CommandContext& context) {
  const CommandStates states = ComputeCommandStates(context);
  for (const auto& [id, action] : actions_) {
    action->setEnabled(states.enabled(id) && Command(id).availability == Availability::Built);
    if (action->isCheckable()) action->setChecked(states.checked(id));
  }
}

// A recent file that is gone, or is a folder now, cannot be opened.
void MainWindow::refreshRecentFileStates() {
  for (QAction* item : recentActions_) {
    if (item->isSeparator()) continue;
    const int index = item->data().toInt() - kFirstRecentCommand;
    std::error_code error;
    const fs::path& path = settings_.recentFiles[static_cast<std::size_t>(index)];
    item->setEnabled(fs::exists(path, error) && !fs::is_directory(path, error));
  }
}

void MainWindow::tick() {
  QString title = ToQString(document_.path.empty() ? document_.title : DisplayName(document_.path.stem()));
  if (document_.modified) title += u'*';
  title += u" - "_s + UiText(kProgramTitle);
  if (windowTitle() != title) setWindowTitle(title);
  // One pass over the rows serves the command states and the counter.
  const CommandContext context = commandContext();
  exchange_->listen();
  if (!statusBar()->isVisible()) {
    applyCommandStates(context);
    return;
  }
  if (readyPending_ && !editor_->isOpen() && statusText_->text().trimmed() != UiText(kReady)) {
    showStatus(UiText(kReady));
    readyPending_ = false;
  }
  const int first = editor_->isOpen() ? editor_->row() : context.firstSelected;
  counter_->setText(u"  %1  %2 - %3 / %4  "_s.arg(UiText(kPoiWord))
                        .arg(first + 1)
                        .arg(context.selectedCount)
                        .arg(context.rowCount));
  const QTime now = QTime::currentTime();
  const int hour = now.hour() % 12 == 0 ? 12 : now.hour() % 12;
  const QChar separator = now.msec() < 500 && fontMetrics().horizontalAdvance(u' ') == fontMetrics().horizontalAdvance(u':')
                              ? u' '
                              : u':';
  clock_->setText(u"  %1M %2%3%4  "_s.arg(QChar(now.hour() < 12 ? u'A' : u'P'))
                      .arg(hour)
                      .arg(separator)
                      .arg(now.minute(), 2, 10, QChar(u'0')));
  if (toolbar_->isVisible()) applyCommandStates(context);
}

// The picture follows the document's path, title and kind, which only New and the file
// operations change.
void MainWindow::showDocumentIcon() {
  const auto loads = [](const fs::path& path) { return !QImage(ToQString(path.u16string())).isNull(); };
  const DocumentIconChoice choice = ChooseDocumentIcon(document_, loads);
  static const QString kFiles[] = {{}, u"doc-poi"_s, u"doc-favorites"_s, u"doc-camera"_s, u"doc-phonebook"_s};
  QPixmap picture;
  if (choice.icon == DocumentIcon::BesideBitmap) {
    picture = QPixmap(ToQString(choice.bitmap.u16string()));
  } else if (choice.icon != DocumentIcon::None) {
    picture = QIcon(u":/icons/%1.svg"_s.arg(kFiles[static_cast<int>(choice.icon)])).pixmap(16, 16);
  }
  showDocumentPicture(std::move(picture));
}

void MainWindow::showDocumentPicture(QPixmap picture) {
  // At most 24 pixels high, the width in proportion.
  if (picture.height() > 24) picture = picture.scaledToHeight(24, Qt::SmoothTransformation);
  documentIcon_->setPixmap(picture);
  documentIcon_->setVisible(!picture.isNull());
}

void MainWindow::afterEdit() {
  view_->showEngineSelection();
  view_->showSortArrow();
  refreshCommandStates();
  tick();
}

// ------------------------------------------------------------------------------------ commands

void MainWindow::run(CommandId id) {
  if (!editor_->commit()) return;
  switch (id) {
    case CommandId::New:
      if (!document_.modified || confirmDiscard()) newDocument();
      break;
    case CommandId::Open:
      fileWithDialog(FileOperation::Open);
      break;
    case CommandId::Save:
      save(false);
      break;
    case CommandId::SaveAs:
      fileWithDialog(FileOperation::Save);
      break;
    case CommandId::Import:
      fileWithDialog(FileOperation::Import);
      break;
    case CommandId::Export:
      fileWithDialog(FileOperation::Export);
      break;
    case CommandId::OpenFavorites:
      openFavorites();
      break;
    case CommandId::QueryNames: {
      Fading<QueryNamesDialog> dialog(settings_.on(Switch::FadeWindow), this);
      dialog.setWindowIcon(action(id)->icon());
      dialog.exec();
      break;
    }
    case CommandId::TranslateNames:
      translateNames();
      break;
    case CommandId::ConvertFormats:
      convertFormats();
      break;
    case CommandId::AddFavorite:
      addFavorite();
      break;
    case CommandId::GoogleMaps:
      if (map_) map_->showMap();
      break;
    case CommandId::QueryCoordinates:
    case CommandId::QueryAddresses:
      if (map_) map_->queryPositions(id == CommandId::QueryAddresses);
      break;
    case CommandId::OpenDevice:
    case CommandId::DumpDevice:
    case CommandId::SaveDevice:
    case CommandId::QuickGpsFix:
      if (device_) device_->run(id);
      break;
    case CommandId::TomTomHome:
    case CommandId::UserForum:
    case CommandId::QuillfernHome:
    case CommandId::MailtoProgramer:
      openHelpLink(id);
      break;
    case CommandId::GoogleEarth:
      globe_.show(document_, settings_, *port_);
      port_->finishProgress();
      readyPending_ = true;
      break;
    case CommandId::AddItns:
      sendToRouteEditor();
      break;
    case CommandId::Exit:
      close();
      break;
    case CommandId::Undo:
      runLong(kUndoing, [this] { table_.undo(); });
      break;
    case CommandId::Redo:
      runLong(kRedoing, [this] { table_.redo(); });
      break;
    case CommandId::Add:
      editor_->open(table_.addRow(), kName);
      break;
    case CommandId::Insert:
      editor_->open(table_.insertRowAtSelection(), kName);
      break;
    case CommandId::Edit:
      if (table_.firstSelected() >= 0) editor_->open(table_.firstSelected(), table_.state.currentColumn);
      break;
    case CommandId::Delete:
      runLong(kDeleting, [this] { table_.deleteSelected(); });
      break;
    case CommandId::Cut:
    case CommandId::Copy:
      runLong(kCopying, [this] { CopyRows(document_, table_.state.lngFirst); });
      if (id == CommandId::Cut) runLong(kCutting, [this] { table_.deleteSelected(); });
      break;
    case CommandId::Paste:
      runLong(kPasting, [this] { PasteFromClipboard(table_, checkName_, *port_); });
      break;
    case CommandId::CopyCoordinates:
      CopyCoordinates(document_);
      break;
    case CommandId::PasteCoordinates:
      runLong(kPasting, [this] { PasteCoordinatesFromClipboard(table_); });
      break;
    case CommandId::SelectAll:
      table_.selectAll();
      break;
    case CommandId::ToggleSelection:
      table_.toggleSelection();
      break;
    case CommandId::MoveUp:
    case CommandId::MoveDown:
      table_.moveSelected(id == CommandId::MoveUp);
      break;
    case CommandId::SetBasePoint:
      SetBaseToSelection(table_);
      break;
    case CommandId::MyBasePoint:
      showMyBasePoint();
      break;
    case CommandId::Check:
      startCheck();
      break;
    case CommandId::MessCoordinates:
      runLong(kMessingCoordinates, [this] {
        MessCoordinates(table_, static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch()));
      });
      break;
    case CommandId::Find:
      showFindDialog(FindDialog::Mode::Find);
      break;
    case CommandId::Replace:
      showFindDialog(FindDialog::Mode::Replace);
      break;
    case CommandId::FindNext:
      FindNext(table_, find_);
      break;
    case CommandId::ReplaceNext:
      ReplaceNext(table_, find_, checkName_);
      break;
    case CommandId::CombineColumns:
      combineColumns();
      break;
    case CommandId::ClearColumns:
      clearColumns();
      break;
    case CommandId::SortAscending:
    case CommandId::SortDescending:
      sortBy(kName, id == CommandId::SortAscending);
      break;
    case CommandId::ShowMenuBar:
      settings_.set(Switch::ShowMenuBar, !settings_.on(Switch::ShowMenuBar));
      menuBar()->setVisible(settings_.on(Switch::ShowMenuBar));
      break;
    case CommandId::ShowToolbar:
      settings_.set(Switch::ShowToolbar, !settings_.on(Switch::ShowToolbar));
      toolbar_->setVisible(settings_.on(Switch::ShowToolbar));
      break;
    case CommandId::ShowStatusBar:
      settings_.set(Switch::ShowStatusBar, !settings_.on(Switch::ShowStatusBar));
      statusBar()->setVisible(settings_.on(Switch::ShowStatusBar));
      break;
    case CommandId::LargeToolbar:
      settings_.set(Switch::LargeToolbar, !settings_.on(Switch::LargeToolbar));
      toolbar_->rebuild();
      break;
    case CommandId::AutoWrapToolbar:
      settings_.set(Switch::WrapToolbar, !settings_.on(Switch::WrapToolbar));
      toolbar_->rebuild();
      break;
    case CommandId::CustomizeToolbar:
      customizeToolbar();
      break;
    case CommandId::About:
      ShowAbout(this, settings_.on(Switch::FadeWindow));
      break;
    case CommandId::Options:
      showOptions();
      break;
    case CommandId::DisplayFont:
      ChooseTableFont(this, settings_.font, settings_.on(Switch::FadeWindow),
                      [this](const QFont& font, QColor colour) { applyTableFont(font, colour); });
      break;
    case CommandId::BackgroundImage:
      toggleTableBackground();
      break;
    case CommandId::ToolbarBackground:
      chooseToolbarColour();
      break;
    default:
      if (id >= CommandId::LngInFront) headerCommand(id);
      break;
  }
  afterEdit();
}

void MainWindow::sortBy(int column, bool ascending) {
  if (!table_.canSort(column)) return;
  table_.sort(column, ascending);
  view_->showSortArrow();
}

void MainWindow::runLong(int statusId, const std::function<void()>& work) {
  showStatus(UiText(statusId));
  statusText_->repaint();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool wasBusy = std::exchange(busy_, true);
  work();
  busy_ = wasBusy;
  QApplication::restoreOverrideCursor();
  readyPending_ = true;
}

// ------------------------------------------------------------------------------------ exchange

ReceiveReply MainWindow::readiness() const {
  const bool busy = busy_ || QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
                    view_->isDragging();
  return ReadyToReceive(busy, document_.kind);
}

std::int32_t MainWindow::answerPeer(const ExchangeMessage& message) {
  switch (RequestOf(message)) {
    case ExchangeRequest::AskReady:
      return static_cast<std::int32_t>(readiness());
    case ExchangeRequest::ReadRows: {
      // Rows announced without asking first go in only where they would have been welcome.
      if (readiness() != ReceiveReply::Ready) return 0;
      // The rows are copied before the answer and go in after it, so that the sender waits for the
      // copy only, not for a question asked here.
      QTimer::singleShot(0, this, [this, block = ReadSharedBlock(LoadString(kRouteEditorTitle))] {
        if (!block) {
          port_->showMessage(kCannotReceiveNoMemory, Severity::Information, LoadString(kCannotReceiveNoMemory));
          return;
        }
        receiveRows([&] { return PasteRows(table_, DecodePositionRecords(*block), checkName_, *port_); });
      });
      return 0;
    }
    case ExchangeRequest::Nothing:
      return 0;
  }
  return 0;
}

void MainWindow::sendToRouteEditor() {
  SendResult result = SendResult::Sent;
  runLong(kSendingPois, [this, &result] {
    result = SendRows(LoadString(kProgramTitle), LoadString(kRouteEditorName),
                      EncodePositionRecords(SelectedExchangeRows(document_)));
  });
  if (result == SendResult::NotReady) {
    port_->showMessage(kRouteEditorBusy, Severity::Information, LoadString(kRouteEditorBusy));
  } else if (result == SendResult::NoMemory) {
    port_->showMessage(kCannotSendNoMemory, Severity::Information, LoadString(kCannotSendNoMemory));
  }
}

void MainWindow::receiveRows(const std::function<int()>& insert) {
  raise();
  activateWindow();
  editor_->cancel();
  int eliminated = 0;
  runLong(kReceivingPois, [&] { eliminated = insert(); });
  if (eliminated > 0) {
    port_->showMessage(kEliminatedDuplicates, Severity::Information, FormatMessage(kEliminatedDuplicates, eliminated));
  }
  afterEdit();
}

void MainWindow::showFindDialog(FindDialog::Mode mode) {
  if (findDialog_ && findDialog_->mode() != mode) delete findDialog_.data();
  if (findDialog_) {
    findDialog_->showState();
  } else {
    const bool finding = mode == FindDialog::Mode::Find;
    const CommandId next = finding ? CommandId::FindNext : CommandId::ReplaceNext;
    findDialog_ = new Fading<FindDialog>(settings_.on(Switch::FadeWindow), mode, find_, *action(next), this);
    findDialog_->setAttribute(Qt::WA_DeleteOnClose);
    findDialog_->setWindowIcon(action(finding ? CommandId::Find : CommandId::Replace)->icon());
    connect(findDialog_, &FindDialog::confirmed, this, [this, mode] { findFromDialog(mode); });
    connect(findDialog_, &FindDialog::nextRequested, this, [this, next] { run(next); });
  }
  findDialog_->show();
  findDialog_->raise();
  findDialog_->activateWindow();
}

void MainWindow::findFromDialog(FindDialog::Mode mode) {
  if (!editor_->commit()) return;
  if (mode == FindDialog::Mode::Find) {
    Find(table_, find_);
  } else if (find_.selectAll) {
    runLong(kReplacing, [this] { ReplaceAll(table_, find_, checkName_); });
  } else {
    FindNext(table_, find_);
  }
  afterEdit();
}

void MainWindow::combineColumns() {
  Fading<CombineDialog> dialog(settings_.on(Switch::FadeWindow), document_.richPoiFile, this);
  dialog.setWindowIcon(action(CommandId::CombineColumns)->icon());
  if (dialog.exec() != QDialog::Accepted) return;
  const Combination combination = dialog.combination();
  runLong(kCombining, [this, &combination] { Combine(table_, combination); });
  view_->refitAfterEdit(CombineTarget(combination));
}

void MainWindow::clearColumns() {
  Fading<ClearDialog> dialog(settings_.on(Switch::FadeWindow), document_.kind, this);
  dialog.setWindowIcon(action(CommandId::ClearColumns)->icon());
  if (dialog.exec() != QDialog::Accepted) return;
  const ClearChoice choice = dialog.choice();
  runLong(kClearing, [this, &choice] { Clear(table_, choice); });
  table_.refitColumns();
}

void MainWindow::showHeaderMenu(int column, const QPoint& globalPosition) {
  if (!editor_->commit()) return;
  headerColumn_ = column;
  if (column >= 0) table_.state.currentColumn = column;
  refreshCommandStates();
  QMenu menu(this);
  fillMenu(&menu, HeaderPopup());
  menu.exec(globalPosition);
  headerColumn_ = -1;
}

void MainWindow::headerCommand(CommandId id) {
  PoiDocument& document = document_;
  switch (id) {
    case CommandId::LngInFront:
      table_.state.lngFirst = !table_.state.lngFirst;
      settings_.set(Switch::LngFirst, table_.state.lngFirst);
      view_->applyColumnLayout();
      putMapOption(table_.state.lngFirst ? 3 : 4);
      break;
    case CommandId::CoordinatesInDms:
    case CommandId::CoordinatesWithDirections:
      ToggleDisplayOption(document, id == CommandId::CoordinatesInDms ? DisplayOption::Dms : DisplayOption::Compass);
      settings_.set(Switch::DmsFormat, document.display.dms);
      settings_.set(Switch::CompassDirection, document.display.compass);
      table_.notifyReset();
      if (checkWindow_) checkWindow_->displayOptionsChanged();
      view_->refitAfterEdit(kLng);
      view_->refitAfterEdit(kLat);
      if (id == CommandId::CoordinatesInDms) {
        putMapOption(document.display.dms ? 5 : 6);
      } else {
        putMapOption(document.display.compass ? 7 : 8);
      }
      break;
    case CommandId::AdjustWidths:
      view_->refit(-1);
      break;
    case CommandId::ClearColumn:
      runLong(kClearing, [this] { ClearColumn(table_, table_.state.currentColumn); });
      view_->refitAfterEdit(table_.state.currentColumn);
      break;
    case CommandId::ClearAddresses:
      runLong(kClearing, [this] { ClearAddresses(table_); });
      view_->refitAfterEdit(kMemo);
      break;
    case CommandId::ShowDistance:
      table_.toggleDistanceColumn();
      settings_.set(Switch::ShowDistance, document.display.showDistance);
      view_->applyColumnLayout();
      break;
    case CommandId::MetricForDistances:
      document.display.metric = !document.display.metric;
      settings_.set(Switch::MetricUnit, document.display.metric);
      SetBasePoint(document, -1);
      table_.notifyReset();
      if (checkWindow_) checkWindow_->displayOptionsChanged();
      putMapOption(document.display.metric ? 9 : 10);
      break;
    case CommandId::AdjacentDistances:
    case CommandId::BasePointDistances: {
      const bool adjacent = id == CommandId::AdjacentDistances;
      if (document.display.adjacentDistance == adjacent) break;
      document.display.adjacentDistance = settings_.adjacentDistance = adjacent;
      if (document.baseRow >= 0) UpdateDistances(document, -1);
      table_.notifyReset();
      break;
    }
    case CommandId::SortColumnAscending:
    case CommandId::SortColumnDescending:
      sortBy(table_.state.currentColumn, id == CommandId::SortColumnAscending);
      break;
    default:
      break;
  }
}

// ------------------------------------------------------------------------------------ files

bool MainWindow::confirmDiscard() {
  const DiscardPrompt prompt = DiscardPromptFor(document_);
  const QString text = ToQString(DiscardPromptText(prompt, document_));
  if (prompt == DiscardPrompt::CancelFile) {
    return QMessageBox::question(this, UiText(kProgramTitle), text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
  }
  switch (QMessageBox::question(this, UiText(kProgramTitle), text,
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
      save(false);
      return !document_.modified;
    case QMessageBox::No:
      return true;
    default:
      return false;
  }
}

void MainWindow::newDocument() {
  closeCheck();
  ResetToNew(document_);
  applySettingsToDocument();
  afterDocumentReplaced();
}

void MainWindow::afterDocumentReplaced() {
  table_.clearHistory();
  table_.resetSortState();
  model_->reset();
  view_->applyColumnLayout();
  view_->showSortArrow();
  table_.refitColumns();
  showDocumentIcon();
}

// Every Open and Save starts the automatic save's interval anew.
void MainWindow::restartAutoSave() {
  if (settings_.on(Switch::BackupFile)) autoSaveTimer_.start(settings_.backupInterval * autoSaveMinute_);
}

bool MainWindow::runFileOperation(FileOperation operation, FileFormat format, const fs::path& path,
                                  bool remember) {
  if (operation == FileOperation::Open) closeCheck();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  busy_ = true;
  WriteCounts counts;
  const bool favourites = format == FileFormat::Favourites;
  const int result =
      operation == FileOperation::Import ? ImportFile(table_, format, path, settings_, *port_)
      : favourites ? OpenFavourites(document_, path, favoritesChoice_.includeHome, settings_, *port_)
                   : RunFileOperation(document_, operation, format, path, settings_, *port_, &counts);
  busy_ = false;
  QApplication::restoreOverrideCursor();
  port_->finishProgress();
  readyPending_ = true;
  if (counts.leftOut > 0) {
    // Stays until the next command, so that the user sees what the file does not hold.
    showStatus(ToQString(FormatMessage(format == FileFormat::Phonebook ? kWithoutTelephone : kWithoutCoordinates,
                                       counts.leftOut)));
    readyPending_ = false;
  }
  if (operation == FileOperation::Open) {
    applySettingsToDocument();
    if (result == 0) InsertMyBasePoint(table_, settings_);
    afterDocumentReplaced();
  } else if (operation == FileOperation::Import && table_.firstSelected() >= 0) {
    table_.makeVisible(table_.firstSelected());
  }
  if (operation == FileOperation::Open || operation == FileOperation::Save) restartAutoSave();
  showDocumentIcon();
  if (result != 0) return false;
  // The device's file is no document file of the user's.
  if (!favourites && remember) addRecentFile(path);
  return true;
}

bool MainWindow::openStandIn(const fs::path& file, std::u16string_view title) {
  const bool opened = runFileOperation(FileOperation::Open, FileFormat::Ov2, file, false);
  // Even what a failed read left must never be saved over the stand-in file.
  if (document_.path == file) {
    document_.path.clear();
    document_.title = title;
    showDocumentIcon();
  }
  afterEdit();
  return opened;
}

bool MainWindow::openPath(const fs::path& path) {
  if (document_.modified && !confirmDiscard()) return false;
  const bool opened = runFileOperation(FileOperation::Open, OpenFormatFor(path, FileFormat::Ov2), path);
  afterEdit();
  return opened;
}

void MainWindow::openStartFile(const fs::path& commandLineFile) {
  for (const SettingsWarning& warning : std::exchange(settingsWarnings_, {})) {
    port_->showMessage(warning.id, Severity::Warning, warning.text);
  }
  if (!commandLineFile.empty()) {
    openPath(commandLineFile);
    return;
  }
  if (!settings_.on(Switch::OpenLast) || settings_.recentFiles.empty()) return;
  std::error_code error;
  if (fs::is_regular_file(settings_.recentFiles.front(), error)) openPath(settings_.recentFiles.front());
}

bool MainWindow::save(bool quiet) {
  if (!document_.path.empty() && document_.format != FileFormat::Gpi) {
    return runFileOperation(FileOperation::Save, document_.format, document_.path);
  }
  if (!quiet) fileWithDialog(FileOperation::Save);
  return !document_.modified;
}

std::optional<MainWindow::ChosenFile> MainWindow::chooseFile(FileOperation operation) {
  if (fileChooser_) return fileChooser_(operation);
  // Save through the dialog is Save As.
  static const QString titles[] = {u"Open"_s, u"Save As"_s, u"Import"_s, u"Export"_s};
  const bool opening = operation == FileOperation::Open || operation == FileOperation::Import;
  const FileDialogKind kind = opening ? FileDialogKind::Open : FileDialogKind::Save;
  const std::vector<FileFilter> filters = FileFilters(kind);
  QStringList filterTexts;
  for (const FileFilter& filter : filters) filterTexts.append(ToQString(filter.name));
  Fading<QFileDialog> dialog(settings_.on(Switch::FadeWindow), this, titles[static_cast<int>(operation)]);
  dialog.setAcceptMode(opening ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(opening ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilters(filterTexts);
  AddTomTomNamePreview(dialog);
  // A name typed without an extension takes the chosen filter's.
  const auto followFilter = [&dialog, &filters, &filterTexts](const QString& filter) {
    const qsizetype index = std::max<qsizetype>(filterTexts.indexOf(filter), 0);
    dialog.setDefaultSuffix(QString::fromUtf8(FormatExtension(filters[static_cast<std::size_t>(index)].format)));
  };
  connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
  dialog.selectNameFilter(filterTexts[PreselectedFilter(kind, document_.format)]);
  followFilter(dialog.selectedNameFilter());
  std::error_code error;
  if (fs::is_regular_file(document_.path, error)) dialog.setDirectory(ToQString(document_.path.parent_path().u16string()));
  dialog.selectFile(ToQString(document_.title));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const qsizetype filter = std::max<qsizetype>(filterTexts.indexOf(dialog.selectedNameFilter()), 0);
  return ChosenFile{fs::path(ToU16(dialog.selectedFiles().first())), filters[static_cast<std::size_t>(filter)].format};
}

void MainWindow::fileWithDialog(FileOperation operation) {
  std::optional<ChosenFile> chosen = chooseFile(operation);
  if (!chosen) return;
  fs::path& path = chosen->path;
  if (operation == FileOperation::Open || operation == FileOperation::Import) {
    if (operation == FileOperation::Open && document_.modified && !confirmDiscard()) return;
    runFileOperation(operation, OpenFormatFor(path, chosen->filterFormat), path);
    return;
  }
  const FileFormat format = SaveFormatFor(path, chosen->filterFormat);
  // Save As makes the new file the document's; Export leaves the document as it was.
  if (runFileOperation(operation, format, path) && operation == FileOperation::Save &&
      document_.kind != DocumentKind::Phonebook) {
    document_.format = format;
  }
}

void MainWindow::convertFormats() {
  Fading<ConvertFormatsDialog> dialog(settings_.on(Switch::FadeWindow), convertChoice_, this);
  dialog.setWindowIcon(action(CommandId::ConvertFormats)->icon());
  if (dialog.exec() != QDialog::Accepted) return;
  convertChoice_ = dialog.choice();
  ConvertFolderResult result;
  runFolderOperation([this, &result](const StatusLine& status) {
    result = ConvertFolder(convertChoice_.folder, convertChoice_.targetFormat(), settings_, *port_, status);
  });
  if (result.messageId != 0) {
    port_->showMessage(static_cast<MessageId>(result.messageId), Severity::Warning,
                       FileMessageText(result.messageId, result.name, result.reason));
    return;
  }
  port_->showMessage(kConvertedCount, Severity::Information, FormatMessage(kConvertedCount, result.count));
  if (result.leftOut > 0) {
    // Stays until the next command, as after an Export.
    showStatus(ToQString(FormatMessage(kWithoutCoordinates, result.leftOut)));
    readyPending_ = false;
  }
}

void MainWindow::translateNames() {
  Fading<TranslateNamesDialog> dialog(settings_.on(Switch::FadeWindow), translateChoice_, this);
  dialog.setWindowIcon(action(CommandId::TranslateNames)->icon());
  if (dialog.exec() != QDialog::Accepted) return;
  translateChoice_ = dialog.choice();
  TranslateNamesResult result;
  runFolderOperation([this, &result](const StatusLine& status) {
    result = TranslateNames(translateChoice_.folder, translateChoice_.direction, *port_, status);
  });
  const int id = result.messageId != 0 ? result.messageId : kTranslatedCount;
  port_->showMessage(static_cast<MessageId>(id), result.messageId != 0 ? Severity::Warning : Severity::Information,
                     result.messageId != 0 ? FormatMessage(id, result.name) : FormatMessage(id, result.count));
}

void MainWindow::runFolderOperation(const std::function<void(const StatusLine&)>& work) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  busy_ = true;
  work([this](std::u16string_view text) { port_->status(text); });
  busy_ = false;
  QApplication::restoreOverrideCursor();
  port_->finishProgress();
  readyPending_ = true;
}

void MainWindow::openFavorites() {
  if (document_.modified && !confirmDiscard()) return;
  Fading<FavoritesDialog> dialog(settings_.on(Switch::FadeWindow), favoritesChoice_, this);
  dialog.setWindowIcon(action(CommandId::OpenFavorites)->icon());
  if (dialog.exec() != QDialog::Accepted) return;
  favoritesChoice_ = dialog.choice();
  runFileOperation(FileOperation::Open, FileFormat::Favourites, FavouritesFileIn(favoritesChoice_.folder));
}

void MainWindow::addFavorite() {
  const int row = table_.firstSelected();
  if (row >= 0) (void)urlOpener_(QUrl::fromEncoded(QByteArray::fromStdString(AddFavoriteUrl(document_, row))));
}

void MainWindow::addRecentFile(const fs::path& path) {
  if (!settings_.on(Switch::RecentFile)) return;
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  AddRecentFile(settings_.recentFiles, error ? path : absolute, settings_.fileCount);
  rebuildRecentFiles();
}

void MainWindow::autoSave() {
  if (busy_ || autoSaving_ || !document_.modified || document_.rowCount() == 0 || QApplication::activeModalWidget()) return;
  autoSaving_ = true;
  save(true);
  autoSaving_ = false;
}

// ------------------------------------------------------------------------------------ window

// While a cell is edited its edit box keeps every key: no command's key runs, not even one the box
// has no use for.
bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && editor_->isOpen() &&
      isCommandKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QMainWindow::event(event);
}

bool MainWindow::isCommandKey(const QKeyEvent& key) const {
  const QKeySequence pressed(key.keyCombination());
  return std::ranges::any_of(actions_,
                             [&pressed](const auto& entry) { return entry.second->shortcuts().contains(pressed); });
}

// A menu of the menu bar opens only once an edited cell has taken its value.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  const bool opensMenu = type == QEvent::MouseButtonPress || type == QEvent::Shortcut || type == QEvent::KeyPress;
  if (watched == menuBar() && opensMenu && !editor_->commit()) return true;
  if (map_ && watched == splitter_->handle(1)) {
    if (type == QEvent::MouseButtonDblClick) {
      map_->closeMap();
      return true;
    }
    if (type == QEvent::Enter && !editor_->isOpen()) showStatus(UiText(kMapPaneCloseHelp), true);
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // A file operation in progress finishes first.
  if (busy_ || !editor_->commit() || (document_.modified && !confirmDiscard())) {
    event->ignore();
    return;
  }
  closeCheck();
  // The page is blanked first, so that nothing of it runs while the window goes.
  if (map_ && map_->mapShown()) {
    hide();
    map_->closeMap();
  }
  if (!isMaximized()) {
    settings_.window.rect = {geometry().left(), geometry().top(), geometry().width(), geometry().height()};
  }
  settings_.window.show = isMaximized() ? 3 : 1;
  updateSettingsFile([this](ProfileFile& profile) {
    WriteProfileSection(profile, QUILLFERN_VERSION);
    SaveSettings(settings_, profile);
  });
  event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  std::vector<fs::path> files;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) files.emplace_back(ToU16(url.toLocalFile()));
  }
  event->acceptProposedAction();
  const DropDecision decision = DecideDrop(files);
  if (decision.messageId == 0) {
    openPath(decision.path);
    return;
  }
  const QString text = decision.messageId == kOnlyOneFile
                           ? UiText(kOnlyOneFile)
                           : ToQString(FormatMessage(decision.messageId, decision.path.filename().u16string()));
  QMessageBox::information(this, UiText(kProgramTitle), text);
}

}  // namespace qf
