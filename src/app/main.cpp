// The desktop editor: settings, the main window, and the file named on the command line.
#include <QApplication>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QTimer>

#include <filesystem>

#include "core/settings_location.h"
#include "startup/huge_pages.h"
#include "core/string_table.h"
#include "shell/ui/dialog_fading.h"
#include "shell/ui/main_window.h"
#include "map/ui/map_pane.h"
#include "device/ui/device_link.h"
#include "editing/ui/qt_text.h"

int main(int argc, char* argv[]) {
  qf::UseHugePagesForHeap(argv);
  // The map's web engine shares the window's graphics context.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillfern"));
  QApplication::setApplicationVersion(QStringLiteral(QUILLFERN_VERSION));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quillfern.svg")));

  QCommandLineParser parser;
  parser.setApplicationDescription(qf::ToQString(qf::LoadString(qf::kProgramTitle)));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption settingsOption(QStringLiteral("settings"), QStringLiteral("Use this settings file."),
                                          QStringLiteral("path"));
  parser.addOption(settingsOption);
  const QCommandLineOption deviceOption(QStringLiteral("device-url"),
                                        QStringLiteral("Look for the navigation device at this address (host or host:port)."),
                                        QStringLiteral("address"));
  parser.addOption(deviceOption);
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A POI file to open."), QStringLiteral("[file]"));
  parser.process(application);

  std::optional<std::filesystem::path> settingsOverride;
  if (parser.isSet(settingsOption)) settingsOverride = qf::ToU16(parser.value(settingsOption));
  qf::MainWindow window(
      qf::SettingsPath(qf::ToU16(QApplication::applicationFilePath()), settingsOverride));
  window.setMapServices(std::make_unique<qf::MapPane>(window));
  // Only for this run: the setting stays as it is.
  if (parser.isSet(deviceOption)) {
    QString address = parser.value(deviceOption);
    address.remove(QRegularExpression(QStringLiteral("^http://|/+$")));
    window.settings().services.deviceAddress = address.toStdString();
  }
  window.setDeviceServices(std::make_unique<qf::DeviceLink>(window));
  window.show();
  // The main window fades in fully; dialogs stop just short of opaque.
  if (window.settings().on(qf::Switch::FadeWindow)) qf::FadeIn(window, 1.0);

  // A file named on the command line opens once the window is up; one that cannot be opened (gone,
  // a folder) says so as Open does.
  const QStringList files = parser.positionalArguments();
  const std::filesystem::path file =
      files.isEmpty() ? std::filesystem::path() : std::filesystem::path(qf::ToU16(files.first()));
  QTimer::singleShot(0, &window, [&window, file] { window.openStartFile(file); });
  return application.exec();
}
