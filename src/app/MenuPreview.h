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
//
// The colours are the arcade's ("PlayChoice-10 (RGB)") unless the switch
// above the picture says "NES (NTSC)"; the choice is kept in the program's
// settings. What the arcade shows otherwise than a NES (a colour its RGB PPU
// does not have, colour emphasis) is said in words under the picture.
#include "builder/ImageBuilder.h"
#include "builder/MenuScreen.h"
#include "project/Workspace.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <string>

class QAction;
class QComboBox;
class QLabel;

namespace korva::app {

class MenuPreview : public QWidget {
  Q_OBJECT
 public:
  // `settingsFile` names an INI file to keep the palette choice in; empty:
  // the program's usual settings.
  MenuPreview(const Workspace& workspace, QWidget* parent, QString settingsFile = {});

  // The checkable "Menu Preview" action for a menu and the toolbar: shows
  // and hides the window.
  QAction* ShowAction() const { return action_; }

  // Draws the menu from the project now; true when the picture or the notes
  // changed.
  bool Refresh();

  // The picture at its own size (256 x 240), and why there is none.
  const QImage& Picture() const { return picture_; }
  const QString& Problem() const { return problem_; }

  // The text under the picture: what the arcade shows otherwise, one line
  // each; empty when nothing.
  QString Notes() const;

  // The colours the picture is drawn in; setting them redraws and remembers.
  ScreenPalette Palette() const { return palette_; }
  void SetPalette(ScreenPalette palette);

  // The whole factor the picture is drawn at for the current size of the
  // area it is drawn in (the window less the switch and the notes).
  int Scale() const;
  QWidget* PictureArea() const;

 private:
  class Screen;
  void LoadTemplatesForProject();
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

  const Workspace& workspace_;
  QString settingsFile_;
  Templates templates_;
  bool templatesLoaded_ = false;
  std::string templatesFor_;  // the project file they were loaded for
  std::string loadError_;     // why they could not be read
  QAction* action_;
  QComboBox* paletteChoice_;
  Screen* screen_;
  QLabel* notes_;
  QTimer timer_;
  ScreenPalette palette_ = ScreenPalette::Rgb;
  QImage picture_;
  QString problem_;
};

}  // namespace korva::app
