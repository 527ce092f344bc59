#pragma once
// The "Play Test" command: the cartridge as it stands, built in memory
// exactly as Export builds it (the same checks, the same templates: a
// "menurom.bin" or "instrom.bin" in the project's directory), written as the
// play-test page (builder/PlayPage.h) into a temporary directory of the
// window's own and handed to the desktop's browser. Nothing beside the project
// is written, and the project is not saved. A project that cannot be built is
// refused with the very messages Export shows. The temporary directory goes
// when the window closes.
#include "project/Workspace.h"

#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <memory>

class QAction;

namespace korva::app {

class WindowServices;

class PlayTest : public QObject {
  Q_OBJECT
 public:
  PlayTest(const Workspace& workspace, WindowServices& services, QObject* parent);

  // The "Play Test" action (F5) for the View menu and the toolbar.
  QAction* Action() const { return action_; }

  // Builds, writes and opens the page; true when the browser was asked to
  // show it. A refusal or an error is shown through the services.
  bool Run();

  // The page the last Run wrote (empty before).
  const QString& PagePath() const { return page_; }

  // Test seam: what hands the page to a browser (default
  // QDesktopServices::openUrl); true when it could.
  void SetOpener(std::function<bool(const QUrl&)> opener) { open_ = std::move(opener); }

 private:
  const Workspace& workspace_;
  WindowServices& services_;
  QAction* action_;
  std::unique_ptr<QTemporaryDir> dir_;
  QString page_;
  std::function<bool(const QUrl&)> open_;
};

}  // namespace korva::app
