// korva-builder: the KORVA Builder window.
//   korva-builder [PROJECT.korva] [--db PATH]
//   korva-builder --version
// PROJECT.korva is opened once the window is up and its ROM lists are loaded
// (after the scan offered at start-up, when it is accepted); --db names the
// ROM database file to use instead of korva_db.xml in its usual place.
// --version is answered before the application starts, so it needs no
// display.
#include "app/KorvaApplication.h"
#include "app/MainWindow.h"
#include "app/WindowCommands.h"
#include "app/WindowServices.h"
#include "project/Model.h"

#include <QIcon>
#include <QStringList>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", korva::VersionText().c_str());
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
    } else if (args[i].startsWith(QLatin1String("--"))) {
      std::fprintf(stderr, "usage: korva-builder [PROJECT.korva] [--db PATH]\n       korva-builder --version\n");
      return 2;
    } else {
      project = args[i];
    }
  }

  korva::app::MainWindow window(options);
  app.SetErrorHandler([&window](const std::string& message) { window.Services().ShowErrorBox(message); });
  window.ShowMainWindow();
  if (!project.isEmpty()) window.Commands().OpenProjectWhenReady(project.toStdString());
  return app.exec();
}
