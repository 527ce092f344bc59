#pragma once
// The "Menu Preview" window: the cartridge's menu screen as the project
// stands, drawn by the core's menu preview (what the exported images would
// show, pixel for pixel), scaled by the largest whole factor that fits. It
// follows the project while it is shown: ten times a second it draws the
// menu again (well under a millisecond) and repaints when the picture
// changed, so every way the project changes (typing, icons, ROM choices,
// Open, New, Randomize, a scan) shows without a hook in each. It takes the
// menu template the window's Export takes (a "menurom.bin" in the project's
// directory, else the built-in one); when no picture can be drawn (a
// menurom.bin without our layout) it says why.
#include "builder/ImageBuilder.h"
#include "project/Workspace.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <string>

class QAction;

namespace korva::app {

class MenuPreview : public QWidget {
  Q_OBJECT
 public:
  MenuPreview(const Workspace& workspace, QWidget* parent);

  // The checkable "Menu Preview" action for a menu and the toolbar: shows
  // and hides the window.
  QAction* ShowAction() const { return action_; }

  // Draws the menu from the project now; true when the picture changed.
  bool Refresh();

  // The picture at its own size (256 x 240), and why there is none.
  const QImage& Picture() const { return picture_; }
  const QString& Problem() const { return problem_; }

  // The whole factor the picture is drawn at for the current size.
  int Scale() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void LoadTemplatesForProject();

  const Workspace& workspace_;
  Templates templates_;
  bool templatesLoaded_ = false;
  std::string templatesFor_;  // the project file they were loaded for
  std::string loadError_;     // why they could not be read
  QAction* action_;
  QTimer timer_;
  QImage picture_;
  QString problem_;
};

}  // namespace korva::app
