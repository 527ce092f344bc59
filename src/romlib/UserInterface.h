#pragma once
// How the core talks to the user. The core never shows anything itself: it
// calls this interface, which the window implements with dialogs and a status
// bar, the command line with stdout and stderr, and the tests with a recorder.
#include <string>

namespace korva {

// The kind of a message: decides the dialog's title ("Warning", "Error",
// "Information", "Confirm") and its icon.
enum class MsgKind { Warning, Error, Information, Confirmation };

// A button of a message dialog. Buttons are always shown in the order
// Yes, No, OK, Cancel.
enum class MsgButton : unsigned { Yes = 1, No = 2, OK = 4, Cancel = 8 };

// A set of buttons: MsgButton values or-ed together.
using MsgButtons = unsigned;
constexpr MsgButtons operator|(MsgButton a, MsgButton b) {
  return static_cast<unsigned>(a) | static_cast<unsigned>(b);
}
constexpr bool HasButton(MsgButtons set, MsgButton b) { return (set & static_cast<unsigned>(b)) != 0; }

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message centred on the active window (or the screen when there is
  // none). Returns the button pressed; closing the dialog counts as Cancel.
  virtual MsgButton ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons buttons) = 0;

  // A status-bar text that clears itself after `seconds`. A new text replaces
  // the old one and restarts the full time.
  virtual void ShowStatusMessage(const std::string& text, int seconds) = 0;
};

}  // namespace korva
