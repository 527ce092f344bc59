#pragma once
// The scan's dialogs: the folder browser with "Include subfolders" (the
// choice kept in the program's settings), and the progress dialog, which
// shows which directory is being scanned and how far the scan has got, and
// whose Cancel button (or Escape, or the close box) stops the scan: the dialog
// then says "Cancelling..." until the scan has ended, which is within a second.
#include <QDialog>
#include <QString>

#include <atomic>
#include <optional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace korva::app {

class WindowServices;

class ScanDialog : public QDialog {
  Q_OBJECT
 public:
  // `settingsFile` names an INI file for the "Include subfolders" choice;
  // empty: the program's usual settings.
  ScanDialog(WindowServices& services, QWidget* owner, QString settingsFile = {});

  QLabel* lbScan() const { return lbScan_; }
  QProgressBar* ProgressBar1() const { return progress_; }
  QPushButton* CancelButton() const { return cancel_; }

  bool Scanning() const { return scanning_; }
  // On: the Cancel button is ready and the cancellation cleared; off: the
  // dialog may close.
  void SetScanning(bool on);

  // Set once the user asked to stop the scan; the scan's threads read it.
  const std::atomic<bool>& CancelRequested() const { return cancelRequested_; }
  // What Cancel does: sets the flag and says "Cancelling...".
  void RequestCancel();

  // Shows the dialog (not modal), centred on its owner.
  void ShowCentred();

  // The folder to scan, from the folder browser "Select Directory" with the
  // check box "Include subfolders" (ticked as it was left last time, and
  // kept when a folder is chosen); nothing when the user cancels.
  struct Choice {
    std::string Directory;
    bool IncludeSubfolders = false;
  };
  std::optional<Choice> AskDirectory();

  // The remembered state of "Include subfolders".
  bool IncludeSubfolders() const;
  void SetIncludeSubfolders(bool on);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  WindowServices& services_;
  QString settingsFile_;
  QLabel* lbScan_;
  QProgressBar* progress_;
  QPushButton* cancel_;
  bool scanning_ = false;
  std::atomic<bool> cancelRequested_{false};
};

}  // namespace korva::app
