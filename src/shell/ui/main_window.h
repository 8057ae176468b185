#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>
#include <map>
#include <memory>

#include "core/app_settings.h"
#include "core/poi_checks.h"
#include "core/poi_document.h"
#include "editing/find_replace.h"
#include "editing/poi_table.h"
#include "editing/row_exchange.h"
#include "editing/ui/find_dialog.h"
#include "shell/command_state.h"
#include "shell/command_table.h"
#include "shell/ui/convert_formats_dialog.h"
#include "shell/ui/favorites_dialog.h"
#include "shell/ui/globe_program.h"
#include "shell/ui/device_services.h"
#include "shell/ui/map_services.h"
#include "shell/ui/translate_names_dialog.h"
#include "shell/ui/version_notice.h"

class QKeyEvent;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QUrl;

namespace qf {

class CellEditor;
class CheckResultsWindow;
class ExchangeServer;
struct ExchangeMessage;
class GuiUserPort;
class PoiTableModel;
class PoiTableView;
class Toolbar;

// The editor's one window: toolbar, working table and status bar over the engine's table; every
// menu, key and button runs a numbered command.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(std::filesystem::path settingsPath, QWidget* parent = nullptr);
  ~MainWindow() override;

  PoiTable& table() { return table_; }
  PoiTableView& view() { return *view_; }
  CellEditor& cellEditor() { return *editor_; }
  AppSettings& settings() { return settings_; }
  GuiUserPort& port() { return *port_; }
  QAction* action(CommandId id) const;
  QMenu* recentFilesMenu() const { return fileMenu_; }

  void run(CommandId id);
  // Opens a file as the command line, a recent entry or a drop does, after the save prompt.
  bool openPath(const std::filesystem::path& path);
  // At start: what could not be used of the settings file, then the command line's file, else with
  // "Open Last" the most recent file.
  void openStartFile(const std::filesystem::path& commandLineFile);
  // The 500 ms tick: title, status bar, command states.
  void tick();
  // After a change of the table: its selection and sort arrow shown, the commands' states, the title.
  void afterEdit();
  // A text in the status bar; with `readyAfter` "Ready" comes back on the next tick.
  void showStatus(const QString& text, bool readyAfter);
  // The status bar's progress bar, for a dialog that shows there that it is busy.
  QProgressBar& progressBar() { return *progressBar_; }

  // The map layer, plugged in when the program starts; its pane goes beside the table.
  void setMapServices(std::unique_ptr<MapServices> map);
  MapServices* map() const { return map_.get(); }
  // The device layer, plugged in when the program starts.
  void setDeviceServices(std::unique_ptr<DeviceServices> device);
  DeviceServices* device() const { return device_.get(); }
  // A folder command's run: the wait cursor, its status line with Esc, then its message (public for
  // the device layer's dump, which runs as the folder commands do).
  void runFolderOperation(const std::function<void(const StatusLine&)>& work);
  const std::filesystem::path& settingsPath() const { return settingsPath_; }
  // The document stands in for a file kept elsewhere (the device's): it is read from `file`, keeps
  // `title`, has no path and joins no recent list.
  bool openStandIn(const std::filesystem::path& file, std::u16string_view title);
  // A picture of the document's own in the status bar, until the next file operation.
  void showDocumentPicture(QPixmap picture);
  // The save prompt of an unsaved document; false when the user cancels.
  bool confirmDiscard();
  // Changes the settings file through `change`, unless the file is one that could not be read: its
  // settings would be lost.
  void updateSettingsFile(const std::function<void(ProfileFile&)>& change);
  // Shows the map pane at the width it last had ("IE Pane" at first, else half the window), or hides it.
  void showMapPane(bool shown);

  // The file a file dialog chose, with the format of the filter chosen in it.
  struct ChosenFile {
    std::filesystem::path path;
    FileFormat filterFormat;
  };
  using FileChooser = std::function<std::optional<ChosenFile>(FileOperation)>;
  // Answers the file dialogs instead of the user (tests).
  void setFileChooser(FileChooser chooser) { fileChooser_ = std::move(chooser); }
  // How Add Favorite reaches TomTom's desktop application: whether a program takes its links, and
  // the hand-off of a link (tests look at the link instead).
  void setTomTomHomeProbe(std::function<bool()> probe) {
    tomtomHomeProbe_ = std::move(probe);
    tomtomHomeInstalled_.reset();
  }
  // How links reach the desktop: false when no program takes them (tests look at the links instead).
  void setUrlOpener(std::function<bool(const QUrl&)> opener) { urlOpener_ = std::move(opener); }
  VersionNotice& versionNotice() { return *versionNotice_; }
  const QTimer& autoSaveTimer() const { return autoSaveTimer_; }
  // The length of the automatic save's minute (tests shorten it to see the timer fire).
  void setAutoSaveMinute(int milliseconds) {
    autoSaveMinute_ = milliseconds;
    restartAutoSave();
  }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildStatusBar();
  void buildActions();
  void buildMenus();
  // Menu items from the command table: the commands' actions, or items with the menu's own wording.
  void fillMenu(QMenu* menu, std::span<const MenuItem> items);
  void buildToolbar();
  void buildWindowMenu();
  bool isCommandKey(const QKeyEvent& key) const;
  void showStatus(const QString& text);
  void rememberMapPaneWidth();
  // A display command's counterpart on the shown map.
  void putMapOption(int command);
  void customizeToolbar();
  void chooseToolbarColour();
  void applyTableFont(const QFont& font, const QColor& colour);
  void toggleTableBackground();
  void showOptions();
  void showMyBasePoint();
  // The check dialog, then the results window; an open results window is only brought forward.
  void startCheck();
  void closeCheck();
  QString recentFileHelp(const std::filesystem::path& path) const;
  void rebuildRecentFiles();
  void applySettingsToDocument();
  void refreshCommandStates();
  CommandContext commandContext() const;
  void applyCommandStates(const CommandContext& context);
  void refreshRecentFileStates();
  void showDocumentIcon();
  void afterDocumentReplaced();

  // The automatic save's tick.
  void autoSave();
  void newDocument();
  // Open, Save As (Save), Import and Export through a file dialog.
  void fileWithDialog(FileOperation operation);
  std::optional<ChosenFile> chooseFile(FileOperation operation);
  bool save(bool quiet);
  // remember: the file joins the recent list.
  bool runFileOperation(FileOperation operation, FileFormat format, const std::filesystem::path& path,
                        bool remember = true);
  void addRecentFile(const std::filesystem::path& path);
  // The folder commands and the favourites of a Nav2 device.
  void convertFormats();
  void translateNames();
  void openFavorites();
  void addFavorite();

  void showHeaderMenu(int column, const QPoint& globalPosition);
  void headerCommand(CommandId id);
  // Sorts by a column as one undo step, unless the rows cannot be sorted by it.
  void sortBy(int column, bool ascending);
  // A change of many rows: its status text and the wait cursor while it works.
  void runLong(int statusId, const std::function<void()>& work);
  // Find and Replace: their dialog, which stays open beside the table.
  void showFindDialog(FindDialog::Mode mode);
  // The dialog's OK: Find searches from the first row; Replace replaces everywhere or finds the next.
  void findFromDialog(FindDialog::Mode mode);
  void combineColumns();
  void clearColumns();
  // The exchange with the route editor and other running editors.
  ReceiveReply readiness() const;
  std::int32_t answerPeer(const ExchangeMessage& message);
  void sendToRouteEditor();
  // Rows from another program: the window comes forward and `insert` puts them in as one step,
  // returning how many duplicates it left out.
  void receiveRows(const std::function<int()>& insert);
  void restartAutoSave();
  // The weekly look for a newer version, started with the window.
  void startVersionCheck();
  // The Help menu's links to web pages and to the mail program.
  void openHelpLink(CommandId id);

  std::filesystem::path settingsPath_;
  AppSettings settings_;
  std::vector<SettingsWarning> settingsWarnings_;
  bool checkName_ = false;
  PoiDocument document_;
  PoiTable table_{document_};
  PoiTableModel* model_;
  PoiTableView* view_;
  QSplitter* splitter_;
  CellEditor* editor_;
  std::unique_ptr<GuiUserPort> port_;
  std::map<CommandId, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QList<QAction*> recentActions_;
  Toolbar* toolbar_ = nullptr;
  QMenu* listViewMenu_ = nullptr;
  QLabel* statusText_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLabel* documentIcon_ = nullptr;
  QLabel* counter_ = nullptr;
  QLabel* clock_ = nullptr;
  QTimer tickTimer_;
  QTimer autoSaveTimer_;
  bool autoSaving_ = false;
  int autoSaveMinute_ = 60 * 1000;
  bool busy_ = false;  // a file operation is running and lets the event loop serve paints and timers
  bool readyPending_ = false;
  int headerColumn_ = -1;
  FileChooser fileChooser_;
  ConvertChoice convertChoice_;
  TranslateChoice translateChoice_;
  FavoritesChoice favoritesChoice_;
  std::function<bool()> tomtomHomeProbe_;
  mutable std::optional<bool> tomtomHomeInstalled_;  // asked once, when the commands are first enabled
  std::function<bool(const QUrl&)> urlOpener_;
  VersionNotice* versionNotice_ = nullptr;
  GlobeProgram globe_;
  FindState find_;
  QPointer<FindDialog> findDialog_;
  CheckSettings checkSettings_;
  QPointer<CheckResultsWindow> checkWindow_;
  std::unique_ptr<MapServices> map_;
  std::unique_ptr<DeviceServices> device_;
  // Last, so that it goes first: no message from another program reaches a window half gone.
  std::unique_ptr<ExchangeServer> exchange_;
};

}  // namespace qf
