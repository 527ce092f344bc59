// korva-builder: the KORVA Builder window.
//   korva-builder [PROJECT.korva] [--db PATH]
//   korva-builder --version | --help
// PROJECT.korva is opened once the window is up and its ROM lists are loaded
// (after the scan offered at start-up, when it is accepted); --db names the
// ROM database file to use instead of korva_db.xml in its usual place.
// --version and --help (-h) are answered before the application starts, so
// they need no display.
#include "app/KorvaApplication.h"
#include "app/MainWindow.h"
#include "app/WindowCommands.h"
#include "app/WindowServices.h"
#include "project/Model.h"

#include <QFileInfo>
#include <QIcon>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "usage: korva-builder [PROJECT.korva] [--db PATH]\n"
    "       korva-builder --version | --help\n";

constexpr const char* kHelp =
    "Opens the KORVA Builder window, which builds PlayChoice-10 multi-game\n"
    "cartridges; PROJECT.korva is opened once the window is up.\n"
    "\n"
    "  --db PATH    the ROM database file to use instead of korva_db.xml in its\n"
    "               usual place\n"
    "  --version    print the program's name and build, and exit\n"
    "  -h, --help   print this help, and exit\n"
    "\n"
    "Qt's own options (such as -platform NAME or -style NAME) work as well.\n"
    "The same work without a window: korva --help.\n";

}  // namespace

int main(int argc, char** argv) {
  // As for korva: a write past the file-size limit is an error the save reports.
  std::signal(SIGXFSZ, SIG_IGN);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", korva::VersionText().c_str());
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("%s\n%s", kUsage, kHelp);
      return 0;
    }
  }
  korva::app::KorvaApplication app(argc, argv);
  Q_INIT_RESOURCE(icons);
  // The installed theme icon, else the same picture built into the program.
  app.setWindowIcon(QIcon::fromTheme(QStringLiteral(KORVA_APP_ID), QIcon(QStringLiteral(":/icons/app.svg"))));

  korva::app::WindowOptions options;
  QString project;
  const QStringList args = app.arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--db") && i + 1 < args.size()) {
      options.DatabasePath = args[++i].toStdString();
    } else if (args[i] == QLatin1String("--db")) {
      std::fprintf(stderr, "korva-builder: --db needs a PATH\n%s", kUsage);
      return 2;
    } else if (args[i].startsWith(QLatin1Char('-')) && args[i] != QLatin1String("-")) {
      // Qt has taken its own options out by now.
      std::fprintf(stderr, "korva-builder: unknown option %s\n%s", qPrintable(args[i]), kUsage);
      return 2;
    } else {
      project = args[i];
    }
  }

  korva::app::MainWindow window(options);
  app.SetErrorHandler([&window](const std::string& message) { window.Services().ShowErrorBox(message); });
  window.ShowMainWindow();
  if (project.isEmpty()) return app.exec();
  if (!QFileInfo::exists(project)) {
    window.Services().ShowPlainMessage("File specified does not exist.\r\n\r\n" +
                                           QFileInfo(project).absoluteFilePath().toStdString(),
                                       "Error", korva::MsgKind::Error);
  } else {
    window.Commands().OpenProjectWhenReady(project.toStdString());
  }
  return app.exec();
}
