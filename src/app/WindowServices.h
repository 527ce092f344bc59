#pragma once
// The window's side of korva::UserInterface: centred message dialogs, the
// timed status text, the caption, plain message boxes, the application error
// box and the file and folder dialogs. Before any message appears the window
// is brought up to date (SetBeforeMessage), so what it shows behind the
// message is what the message is about. Boxes are centred on the window they
// belong to, or on the screen while the main window is not yet shown.
//
// Every call may come from any thread: a call from the scan's worker is
// carried out on the UI thread, and the worker waits for it.
//
// Every box is a MessageBox (app/MessageBox.h).
//
// Test seam: answers and file names can be queued; a queued answer is taken
// instead of showing the dialog. In non-interactive mode a dialog without a
// queued answer is not shown either: it returns Cancel (else No, else OK), and
// a file dialog returns no file. Everything that would have been shown is
// recorded in Shown().
#include "romlib/UserInterface.h"

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class QStatusBar;
class QTimer;
class QWidget;

namespace korva::app {

// One message the services showed (or would have shown).
struct ShownMessage {
  enum class Type { Centered, Plain, ErrorBox, Status };
  Type type;
  std::string text;
  std::string caption;       // plain boxes and the error box
  MsgKind kind = MsgKind::Information;
  QMessageBox::StandardButtons buttons;  // the buttons it offered
  int seconds = 0;           // status texts
  std::string owner;         // the object name of the window it belongs to
};

class WindowServices : public QObject, public UserInterface {
  Q_OBJECT
 public:
  // `window` is the main window: its caption, and the owner of plain boxes.
  WindowServices(QWidget* window, QStatusBar* statusBar, QObject* parent);

  MsgButton ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons buttons) override;
  void ShowStatusMessage(const std::string& text, int seconds) override;
  // The window's own questions, with any of Qt's standard buttons (Save,
  // Discard...), centred as ShowCenteredMessage's are.
  QMessageBox::StandardButton Ask(const std::string& text, MsgKind kind, QMessageBox::StandardButtons buttons);
  // The caption for the project file (empty: "New Project"), with Qt's
  // unsaved-work marker shown when `unsaved`.
  void ShowCaption(const std::string& projectFileName, bool unsaved);
  // A plain box with a caption of its own ("Error", "Warning!", or the
  // application title), owned by the main window and not centred. `kind`
  // picks the icon. Only an OK button.
  void ShowPlainMessage(const std::string& text, const std::string& caption, MsgKind kind);
  // A plain box that belongs to `owner` (above it, even when it stays on top).
  void ShowPlainMessageOver(QWidget* owner, const std::string& text, const std::string& caption, MsgKind kind);

  // Runs before every message, dialog and box is shown.
  void SetBeforeMessage(std::function<void()> f) { beforeMessage_ = std::move(f); }

  // The application error box for an error that no command handled.
  void ShowErrorBox(const std::string& message);

  // File dialogs; an empty text when the user cancels.
  QString AskOpenProjectFile();
  QString AskSaveProjectFile();
  // A folder; with `option`, a check box of that text under the folder list,
  // ticked as `*checked` says, which the user's choice is written back to
  // (a queued file name leaves it as it was).
  QString AskDirectory(const QString& title, const QString& option = {}, bool* checked = nullptr);

  // The status bar's text (panel 0) and the timer that clears it.
  QString StatusText() const;
  QTimer* Timer1() const { return timer_; }

  // Test seam.
  void QueueAnswer(QMessageBox::StandardButton answer) { answers_.push_back(answer); }
  void QueueAnswer(MsgButton answer);
  void QueueFileName(const QString& path) { fileNames_.push_back(path); }
  void SetNonInteractive(bool on) { nonInteractive_ = on; }
  const std::vector<ShownMessage>& Shown() const { return shown_; }
  void ClearShown() { shown_.clear(); }
  // Called with each message as it is recorded, while it would be on screen.
  void SetShownHook(std::function<void(const ShownMessage&)> f) { shownHook_ = std::move(f); }

 private:
  void Timer1Timer();
  bool OnUiThread() const;
  template <typename F> auto OnUi(F&& f);
  QString NextFileName(bool* taken);
  void Record(ShownMessage message);

  QWidget* window_;
  QStatusBar* statusBar_;
  QTimer* timer_;
  QString statusText_;
  std::deque<QMessageBox::StandardButton> answers_;
  std::deque<QString> fileNames_;
  bool nonInteractive_ = false;
  std::vector<ShownMessage> shown_;
  std::function<void()> beforeMessage_;
  std::function<void(const ShownMessage&)> shownHook_;
};

// The window caption for a project file (empty: a new project):
// "KORVA Builder [Build 12] - (NAME)[*]", NAME being "New Project" or the
// path's file-name part, "[*]" Qt's place for the unsaved-work marker.
QString CaptionText(const std::string& projectFileName);

// The Qt filter of the project file dialogs.
inline constexpr const char* kProjectFilter = "KORVA Project (*.korva)";

}  // namespace korva::app
