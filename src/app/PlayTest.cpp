#include "app/PlayTest.h"

#include "app/WindowServices.h"
#include "builder/Export.h"
#include "builder/PlayPage.h"
#include "romlib/FileUtil.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QIcon>

namespace korva::app {

PlayTest::PlayTest(const Workspace& workspace, WindowServices& services, QObject* parent)
    : QObject(parent), workspace_(workspace), services_(services), open_(&QDesktopServices::openUrl) {
  action_ = new QAction(QIcon(QStringLiteral(":/icons/play.svg")), QStringLiteral("Play &Test"), this);
  action_->setObjectName(QStringLiteral("ViewPlayTest1"));
  action_->setShortcut(QKeySequence(Qt::Key_F5));
  action_->setToolTip(QStringLiteral("Play Test (F5): the cartridge in a web browser"));
  connect(action_, &QAction::triggered, this, [this] {
    try {
      Run();
    } catch (const std::exception& e) {
      services_.ShowErrorBox(e.what());
    }
  });
}

bool PlayTest::Run() {
  const Workspace& ws = workspace_;
  // As the window's Export builds: a template file only from the project's
  // own directory, a refusal shown as Export shows it.
  const CartridgeBuild build =
      BuildCartridge(ws, TemplateChoice{.MenuRomFile = {}, .InstRomFile = {}, .FromProjectDirectory = true});
  if (!build.Built()) {
    services_.ShowCenteredMessage(build.Refusal, MsgKind::Error, static_cast<MsgButtons>(MsgButton::OK));
    return false;
  }
  if (!dir_ || !dir_->isValid()) dir_ = std::make_unique<QTemporaryDir>();
  if (!dir_->isValid()) {
    services_.ShowErrorBox("No temporary directory for the play-test page: " + dir_->errorString().toStdString());
    return false;
  }
  const std::string name = QFileInfo(QString::fromStdString(PlayPagePath(ws.Proj.ProjectFileName))).fileName().toStdString();
  page_ = dir_->filePath(QString::fromStdString(name));
  WriteFileAtomic(page_.toStdString(), std::string_view(PlayPage(ws.Proj, build.Images)));
  if (!open_(QUrl::fromLocalFile(page_))) {
    services_.ShowCenteredMessage("No web browser could be started to show the play-test page. It is at " +
                                      page_.toStdString() + "; open it in a browser.",
                                  MsgKind::Warning, static_cast<MsgButtons>(MsgButton::OK));
    return false;
  }
  services_.ShowStatusMessage("Play test opened in the browser: " + page_.toStdString(), 5);
  return true;
}

}  // namespace korva::app
