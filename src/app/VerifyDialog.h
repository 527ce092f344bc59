#pragma once
// The "Verify Images" dialog (File > Verify Images...): checks three images
// against the project and its ROMs, as `korva verify` does, and shows the
// result one line per slot and per image. The images are those the export
// wrote beside the project unless the user chose other files (chips read
// back by an EPROM programmer). It takes the templates the window's Export
// takes (a "menurom.bin" or "instrom.bin" in the project's directory, else
// the built-in ones). It reads files only when Verify is pressed and writes
// nothing.
#include "project/Workspace.h"

#include <QDialog>

#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace korva::app {

class VerifyDialog : public QDialog {
  Q_OBJECT
 public:
  VerifyDialog(const Workspace& workspace, QWidget* parent);

  // The "Verify Images..." action for the File menu: opens the dialog on the
  // exported images of the project as it is.
  QAction* ShowAction() const { return action_; }

  // The three file fields (PRG, CHR, instruction ROM) and the result.
  QLineEdit* File(int image) const { return files_[static_cast<std::size_t>(image)]; }
  QString ResultText() const;

  // Fills the fields with the images beside the project file (empty while
  // the project has never been saved).
  void UseExportedImages();

 public slots:
  // Runs the check on the three files in the fields and shows the result.
  void Verify();

 private:
  const Workspace& workspace_;
  QAction* action_ = nullptr;
  std::array<QLineEdit*, 3> files_{};
  QLabel* summary_ = nullptr;
  QPlainTextEdit* result_ = nullptr;
};

}  // namespace korva::app
