#include "map/ui/map_pane.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <future>
#include <thread>
#include <utility>

#include "core/string_table.h"
#include "editing/ui/cell_editor.h"
#include "editing/ui/poi_table_view.h"
#include "editing/ui/qt_text.h"
#include "map/geocode_query.h"
#include "map/map_bridge.h"
#include "map/map_page.h"
#include "map/page_message.h"
#include "shell/command_table.h"
#include "shell/ui/gui_user_port.h"
#include "shell/ui/main_window.h"

namespace qf {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

// The selection settles this long after a key moved it before the map follows; at once with the mouse.
constexpr int kKeyboardSelectionDelay = 750;
// A command that changes more rows than this gets the page built anew rather than its markers taken
// off one by one.
constexpr int kMaxStaleMarkers = 1000;
constexpr int kPollInterval = 500;

// The folder that holds MarkerImage/: beside the program, or where it is installed.
fs::path ProgramFolder() {
  const QDir beside(QCoreApplication::applicationDirPath());
  if (beside.exists(u"MarkerImage"_s)) return ToU16(beside.absolutePath());
  return ToU16(QDir::cleanPath(beside.absoluteFilePath(u"../share/quillfern"_s)));
}

MapPageOptions PageOptions(const AppSettings& settings, const QFont& font, const QColor& colour) {
  MapPageOptions options;
  options.lngFirst = settings.on(Switch::LngFirst);
  options.useCookie = settings.on(Switch::GoogleMapsCookie);
  options.updateMemo = settings.on(Switch::GoogleMapsMemo);
  options.flashRoute = settings.on(Switch::GoogleMapsRoute);
  options.language = settings.googleMapsLang;
  options.font = {.face = ToU16(font.family()),
                  .height = font.pointSize() > 0 ? font.pointSize() : -font.pixelSize(),
                  .weight = static_cast<int>(font.weight()),
                  .italic = font.italic(),
                  .colour = Rgb(static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
                                static_cast<std::uint8_t>(colour.blue()))};
  options.programFolder = ProgramFolder();
  options.extraScript = ExtraMapScript(options.programFolder);
  options.bridgeScriptUrl = "qrc:///qtwebchannel/qwebchannel.js";
  options.tileUrl = settings.services.mapTiles;
  options.tileAttribution = settings.services.mapTilesAttribution;
  options.geocoderUrl = PageGeocoderUrl(settings.services);
  return options;
}

}  // namespace

MapPane::MapPane(MainWindow& window) : window_(window), pane_(new QFrame) {
  // A line along the left and top edges sets the page off from the splitter and the toolbar.
  pane_->setObjectName(u"mapPane"_s);
  pane_->setStyleSheet(u"#mapPane { border-left: 1px solid rgb(113,111,100); border-top: 1px solid rgb(113,111,100); }"_s);
  auto* layout = new QVBoxLayout(pane_);
  layout->setContentsMargins(1, 1, 0, 0);
  window_.table().addObserver(this);
  connect(&doorbell_, &PageDoorbell::rung, this, &MapPane::drainMessages);
  pollTimer_.setInterval(kPollInterval);
  connect(&pollTimer_, &QTimer::timeout, this, &MapPane::drainMessages);
  selectionTimer_.setSingleShot(true);
  connect(&selectionTimer_, &QTimer::timeout, this, &MapPane::showSelectedMarker);
  connect(window_.view().selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (!mapShown() || !ready_) return;
    selectionTimer_.start((QApplication::mouseButtons() & Qt::LeftButton) ? 0 : kKeyboardSelectionDelay);
  });
}

// The web view goes first, while this object still lives: its page answers the scripts still
// pending as it goes, and their answers come here.
MapPane::~MapPane() {
  releaseWebView();
  window_.table().removeObserver(this);
}

void MapPane::releaseWebView() {
  delete std::exchange(web_, nullptr);
  channel_ = nullptr;
}

bool MapPane::mapShown() const { return pane_->isVisible() && web_ != nullptr; }

// ------------------------------------------------------------------------------------ showing

void MapPane::showMap() {
  GuiUserPort& port = window_.port();
  window_.showStatus(UiText(kShowingMap), true);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (web_ || embed()) {
    window_.showMapPane(true);
    loadPage();
  }
  QApplication::restoreOverrideCursor();
  port.finishProgress();
}

bool MapPane::embed() {
  web_ = new QWebEngineView(pane_);
  if (!web_->page()) {
    fail();
    return false;
  }
  pane_->layout()->addWidget(web_);
  // The page is a local file that draws its tiles from the tile server and asks the geocoder.
  web_->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
  channel_ = new QWebChannel(web_);
  channel_->registerObject(u"host"_s, &doorbell_);
  web_->page()->setWebChannel(channel_);
  // The tile servers ask to know who asks them.
  QWebEngineProfile* profile = web_->page()->profile();
  if (!profile->httpUserAgent().contains(u" Quillfern/"_s)) {
    profile->setHttpUserAgent(profile->httpUserAgent() + u" Quillfern/"_s + QStringLiteral(QUILLFERN_VERSION));
  }
  connect(web_->page(), &QWebEnginePage::linkHovered, this, &MapPane::showPageStatus);
  // A page that cannot be loaded ends the map; a load cut short by the next one does not.
  connect(web_->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& loading) {
    if (loading.status() == QWebEngineLoadingInfo::LoadFailedStatus && mapShown()) fail();
  });
  // Keys that edit text stay with the page; every other command key works while the map has the focus.
  web_->installEventFilter(this);
  if (web_->focusProxy()) web_->focusProxy()->installEventFilter(this);
  connect(web_, &QWebEngineView::loadStarted, this, [this] {
    if (web_->focusProxy()) web_->focusProxy()->installEventFilter(this);
  });
  return true;
}

void MapPane::loadPage() {
  PoiTableView& view = window_.view();
  const MapPage page =
      BuildMapPage(window_.table().document(), PageOptions(window_.settings(), view.font(), view.palette().color(QPalette::Text)));
  if (!page_.write(page.text, window_.port())) return;
  ready_ = false;
  web_->load(QUrl::fromLocalFile(ToQString(page_.path().u16string())));
  pollTimer_.start();
  if (page.firstMarkedRow >= 0) window_.table().makeVisible(page.firstMarkedRow);
}

void MapPane::fail() {
  window_.showMapPane(false);
  pollTimer_.stop();
  ready_ = false;
  releaseWebView();
  window_.port().showMessage(kCannotUseMap, Severity::Information, LoadString(kCannotUseMap));
  window_.showStatus(UiText(kReady), true);
}

void MapPane::closeMap() {
  if (!web_) return;
  pollTimer_.stop();
  selectionTimer_.stop();
  ready_ = false;
  web_->setUrl(QUrl(u"about:blank"_s));
  window_.showMapPane(false);
  window_.showStatus(UiText(kReady), true);
}

// ------------------------------------------------------------------------------------ page to host

void MapPane::drainMessages() {
  if (!web_) return;
  web_->page()->runJavaScript(u"typeof GetGoogleMaps === 'function' ? GetGoogleMaps() : ''"_s, [this](const QVariant& result) {
    const QString text = result.toString();
    if (text.isEmpty() || !web_) return;
    handleMessage(text);
    drainMessages();
  });
}

void MapPane::handleMessage(const QString& text) {
  const std::optional<PageMessage> message = ParsePageMessage(ToU16(text));
  if (!message) return;
  if (!ready_) {
    if (message->kind == PageMessageKind::Ready) {
      ready_ = true;
      window_.showStatus(UiText(kReady), true);
      showSelectedMarker();
    } else if (message->kind == PageMessageKind::Terminate) {
      closeMap();
    }
    return;
  }
  if (message->kind == PageMessageKind::Ready || message->kind == PageMessageKind::Terminate) return;
  // A message that comes while a cell is edited is dropped with the edit.
  CellEditor& editor = window_.cellEditor();
  if (editor.isOpen()) {
    editor.cancel();
    return;
  }
  applyingPageMessage_ = true;
  const BridgeResult result = ApplyPageMessage(window_.table(), *message, hostStartedUpdate_);
  applyingPageMessage_ = false;
  if (result.step == BridgeStep::Nothing) return;
  window_.afterEdit();
  if (result.step == BridgeStep::EditCell) editor.open(result.row, result.column);
  if (result.step == BridgeStep::ApplyAllMoves) applyMovedMarkers(0);
}

void MapPane::applyMovedMarkers(int after) {
  hostStartedUpdate_ = true;
  web_->page()->runJavaScript(u"PutGoogleMaps(%1)"_s.arg(17 + after), [this](const QVariant& result) {
    const int next = result.toInt();
    if (next <= 0 || !web_) {
      hostStartedUpdate_ = false;
      return;
    }
    // The marker's update waits in the page's queue; the next one is asked for once it is applied.
    web_->page()->runJavaScript(u"GetGoogleMaps()"_s, [this, next](const QVariant& message) {
      if (!web_) return;
      handleMessage(message.toString());
      applyMovedMarkers(next);
    });
  });
}

// The link under the pointer in an info window says what it does for as long as the pointer stays
// on it (the page tells only when it enters and leaves a link); "Ready" returns when it is left.
void MapPane::showPageStatus(const QString& text) {
  if (window_.cellEditor().isOpen()) return;
  if (text.isEmpty()) {
    window_.showStatus(UiText(kReady), true);
    return;
  }
  // The map's own controls link into the page itself, whose file path tells the user nothing.
  if (text.startsWith(web_->url().toString(QUrl::RemoveFragment))) {
    window_.showStatus(QString(), false);
    return;
  }
  const std::optional<int> help = LinkHelp(ToU16(text));
  window_.showStatus(!help ? text : *help != 0 ? UiText(*help) : QString(), false);
}

// ------------------------------------------------------------------------------------ host to page

void MapPane::put(const std::string& call) {
  if (mapShown() && ready_) web_->page()->runJavaScript(QString::fromStdString(call));
}

void MapPane::putOption(int command) { put(PutGoogleMapsCall(command)); }

void MapPane::showSelectedMarker() {
  selectionTimer_.stop();
  const int row = window_.table().firstSelected();
  if (row >= 0) put(PutGoogleMapsCall(0, MarkerTexts(window_.table().document(), row)));
}

void MapPane::rowAboutToChange(int row) {
  if (!mapShown() || !ready_ || applyingPageMessage_) return;
  if (staleCount_ == 0) {
    QTimer::singleShot(0, this, [this] {
      if (staleCount_ > kMaxStaleMarkers) {
        loadPage();
      } else {
        put(staleMarkers_);
      }
      staleMarkers_.clear();
      staleCount_ = 0;
    });
  }
  if (++staleCount_ <= kMaxStaleMarkers) staleMarkers_ += PutGoogleMapsCall(1, MarkerTexts(window_.table().document(), row)) + ";\n";
}

bool MapPane::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString name = QKeySequence(key->keyCombination()).toString(QKeySequence::PortableText);
    if (!KeyAllowedInMapPane(name.toStdString())) {
      event->accept();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

// ------------------------------------------------------------------------------------ geocoding

void MapPane::queryPositions(bool addresses) {
  const GeocodeTarget target = addresses ? GeocodeTarget::Addresses : GeocodeTarget::Coordinates;
  const ServiceSettings& services = window_.settings().services;
  GuiUserPort& port = window_.port();
  if (const auto question = LongRunQuestion(services, RowsToQuery(window_.table().document(), target))) {
    if (!port.confirm(kLongGeocodeRun, *question)) return;
  }
  Geocoder geocoder(services);
  // Each request waits on a thread of its own while the window paints and hears Esc.
  const RequestRunner offThread = [&port](const std::function<GeocodeReply()>& request) {
    std::future<GeocodeReply> reply = std::async(std::launch::async, request);
    port.waitUntil([&reply] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return reply.get();
  };
  QApplication::setOverrideCursor(Qt::BusyCursor);
  port.busy(FormatMessage(kQueryingRecords, 0, RowsToQuery(window_.table().document(), target)));
  RunGeocodeQuery(window_.table(), geocoder, target, port, offThread);
  QApplication::restoreOverrideCursor();
  port.finishProgress();
  window_.showStatus(UiText(kReady), true);
}

}  // namespace qf
