#pragma once
// The program's one message box: every message, question and error box of
// the window, the About box and the application is one of these. It shows
// its text as plain text ("\r\n" breaks lines), an icon, a caption and Qt's
// standard buttons in the platform's order, and is at least wide enough for
// its caption. Enter presses the default button (OK, else Yes, else Save);
// Escape and the close box press the escape button (Cancel, else No, else
// OK). Once it knows its size it centres itself on the window it is shown
// over, or on the screen while there is none (at start-up).
//
// The box itself waits for a person; the test seams sit in front of it
// (WindowServices' queued answers, the About box's AboutDesktop).
#include "romlib/UserInterface.h"

#include <QMessageBox>

namespace korva::app {

class MessageBox : public QMessageBox {
 public:
  // A box that belongs to `owner` (above it, also when it stays on top).
  MessageBox(Icon icon, const QString& caption, const QString& text, StandardButtons buttons, QWidget* owner);

  // Shows the box modally, centred on `over` when that is a shown window
  // (else on the screen of the owner, or the primary screen), and returns
  // the button pressed.
  StandardButton Run(QWidget* over = nullptr);

  // The application error box: caption "KORVA Builder", the error icon, OK,
  // and ErrorText(message), over `owner` (may be null).
  static void ShowError(QWidget* owner, const QString& message);

  // The error box's rule: a "." is appended when the message's last
  // character has a code above that of "." (so a message that ends in "!"
  // or "." stays as it is).
  static QString ErrorText(const QString& message);

  // A kind's caption ("Warning", "Error", "Information", "Confirm") and icon.
  static QString TitleFor(MsgKind kind);
  static Icon IconFor(MsgKind kind);

  // The core's buttons and answers in Qt's terms, and back.
  static StandardButtons ToQt(MsgButtons buttons);
  static StandardButton ToQt(MsgButton button);
  static MsgButton FromQt(StandardButton button);

  // The buttons that Escape (and the close box) and Enter press.
  static StandardButton EscapeButtonOf(StandardButtons buttons);
  static StandardButton DefaultButtonOf(StandardButtons buttons);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* over_ = nullptr;
};

}  // namespace korva::app
