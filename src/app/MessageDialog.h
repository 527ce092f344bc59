#pragma once
// The modal message dialog behind ShowCenteredMessage: the kind's title and
// icon, the word-wrapped text, and the requested buttons in the order Yes,
// No, OK, Cancel. Enter presses OK if present, else Yes; Escape presses
// Cancel if present, else No, else OK; the close box counts as Cancel.
#include "romlib/UserInterface.h"

#include <QDialog>
#include <QPushButton>

#include <map>

namespace korva::app {

class MessageDialog : public QDialog {
  Q_OBJECT
 public:
  MessageDialog(const QString& text, MsgKind kind, MsgButtons buttons, QWidget* parent);

  // Centres the dialog on `over` (a window's outer rectangle) or, when it is
  // null, on the screen, then runs it and returns the button pressed.
  MsgButton Run(QWidget* over);

  // The title for a kind: "Warning", "Error", "Information", "Confirm".
  static QString TitleFor(MsgKind kind);
  // The button that Enter and Escape press for a set of buttons.
  static MsgButton EnterButton(MsgButtons buttons);
  static MsgButton EscapeButton(MsgButtons buttons);

  QPushButton* Button(MsgButton b) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Press(MsgButton b);
  MsgButtons buttons_;
  MsgButton result_ = MsgButton::Cancel;
  std::map<MsgButton, QPushButton*> byButton_;
};

}  // namespace korva::app
