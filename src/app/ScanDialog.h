#pragma once
// The scan progress dialog: which directory is being scanned and how far the
// scan has got. Closing it during a scan says "Abort scanning!" but does not
// stop the scan.
#include <QDialog>

class QLabel;
class QProgressBar;

namespace korva::app {

class WindowServices;

class ScanDialog : public QDialog {
  Q_OBJECT
 public:
  ScanDialog(WindowServices& services, QWidget* owner);

  QLabel* lbScan() const { return lbScan_; }
  QProgressBar* ProgressBar1() const { return progress_; }

  bool Scanning() const { return scanning_; }
  void SetScanning(bool on) { scanning_ = on; }

  // Shows the dialog (not modal), centred on its owner.
  void ShowCentred();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  WindowServices& services_;
  QLabel* lbScan_;
  QProgressBar* progress_;
  bool scanning_ = false;
};

}  // namespace korva::app
