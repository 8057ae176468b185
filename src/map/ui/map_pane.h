#pragma once

#include <QFrame>
#include <QObject>
#include <QTimer>

#include <string>

#include "editing/poi_table.h"
#include "map/map_page_file.h"
#include "shell/ui/map_services.h"

class QWebChannel;
class QWebEngineView;

namespace qf {

class MainWindow;

// The one object the page reaches through the web channel: it can only say that a message waits.
// Everything the page asks for is read from the page's queue and checked like any other input.
class PageDoorbell : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  Q_INVOKABLE void messageWaiting() { emit rung(); }

 signals:
  void rung();
};

// The map beside the table: a web page of the chosen POIs, built by the engine, that edits the
// document through the window's table. The web engine starts on the first use only.
class MapPane : public QObject, public MapServices, private TableObserver {
  Q_OBJECT

 public:
  explicit MapPane(MainWindow& window);
  ~MapPane() override;

  QWidget* pane() override { return pane_; }
  void showMap() override;
  void closeMap() override;
  bool mapShown() const override;
  void putOption(int command) override;
  void queryPositions(bool addresses) override;

  // The web view while the map lives (tests drive the page through it).
  QWebEngineView* webView() const { return web_; }
  bool pageReady() const { return ready_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool embed();
  // Deletes the web view; the answers of scripts still pending then find no view and are dropped.
  void releaseWebView();
  void loadPage();
  // The map cannot be used: the pane goes, the engine with it, and the user is told once.
  void fail();
  // Takes the page's messages one by one until its queue is empty.
  void drainMessages();
  void handleMessage(const QString& text);
  // The page's "update all moved markers": each moved marker's update, asked for one after the other.
  void applyMovedMarkers(int after);
  void showSelectedMarker();
  void showPageStatus(const QString& text);
  // A command to the page; nothing while the page is not ready.
  void put(const std::string& call);

  // TableObserver: a row a command changes or deletes loses its stale marker first.
  void rowAboutToChange(int row) override;
  void rowAboutToBeRemoved(int row) override { rowAboutToChange(row); }

  MainWindow& window_;
  QFrame* pane_;
  QWebEngineView* web_ = nullptr;
  QWebChannel* channel_ = nullptr;
  PageDoorbell doorbell_;
  MapPageFile page_;
  QTimer pollTimer_;
  QTimer selectionTimer_;
  bool ready_ = false;
  bool hostStartedUpdate_ = false;
  bool applyingPageMessage_ = false;
  // The removals of stale markers gathered while a command runs, sent together after it.
  std::string staleMarkers_;
  int staleCount_ = 0;
};

}  // namespace qf
