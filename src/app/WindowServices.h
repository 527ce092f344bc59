#pragma once
// The window's side of korva::UserInterface: centred message dialogs, the
// timed status text, the caption, plain message boxes, the application error
// box and the file and folder dialogs.
//
// Every call may come from any thread: a call from the scan's worker is
// carried out on the UI thread, and the worker waits for it.
//
// Test seam: answers and file names can be queued; a queued answer is taken
// instead of showing the dialog. In non-interactive mode a dialog without a
// queued answer is not shown either: it returns Cancel (else No, else OK), and
// a file dialog returns no file. Everything that would have been shown is
// recorded in Shown().
#include "romlib/UserInterface.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
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
  MsgButtons buttons = 0;    // centred dialogs
  int seconds = 0;           // status texts
};

class WindowServices : public QObject, public UserInterface {
  Q_OBJECT
 public:
  // `window` is the main window: its caption, and the owner of plain boxes.
  WindowServices(QWidget* window, QStatusBar* statusBar, QObject* parent);

  MsgButton ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons buttons) override;
  void ShowStatusMessage(const std::string& text, int seconds) override;
  void UpdateCaption(const std::string& projectName) override;
  void ShowPlainMessage(const std::string& text, const std::string& caption, MsgKind kind) override;

  // The application error box for an error that no command handled.
  void ShowErrorBox(const std::string& message);

  // File dialogs; an empty text when the user cancels.
  QString AskOpenProjectFile();
  QString AskSaveProjectFile();
  QString AskDirectory(const QString& title);

  // The status bar's text (panel 0) and the timer that clears it.
  QString StatusText() const;
  QTimer* Timer1() const { return timer_; }

  // Test seam.
  void QueueAnswer(MsgButton answer) { answers_.push_back(answer); }
  void QueueFileName(const QString& path) { fileNames_.push_back(path); }
  void SetNonInteractive(bool on) { nonInteractive_ = on; }
  const std::vector<ShownMessage>& Shown() const { return shown_; }
  void ClearShown() { shown_.clear(); }

 private:
  void Timer1Timer();
  bool OnUiThread() const;
  template <typename F> auto OnUi(F&& f);
  MsgButton RunMessageDialog(const std::string& text, MsgKind kind, MsgButtons buttons);
  QString NextFileName(bool* taken);

  QWidget* window_;
  QStatusBar* statusBar_;
  QTimer* timer_;
  QString statusText_;
  std::deque<MsgButton> answers_;
  std::deque<QString> fileNames_;
  bool nonInteractive_ = false;
  std::vector<ShownMessage> shown_;
};

// The Qt filter of the project file dialogs.
inline constexpr const char* kProjectFilter = "KORVA Project (*.korva)";

}  // namespace korva::app
