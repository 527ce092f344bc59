#include "app/ScanDialog.h"

#include "app/WindowServices.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

namespace korva::app {

ScanDialog::ScanDialog(WindowServices& services, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      services_(services) {
  setObjectName(QStringLiteral("frmScanFiles"));
  setWindowTitle(QStringLiteral("Scanning Files..."));
  setFixedSize(434, 67);
  setModal(false);

  lbScan_ = new QLabel(this);
  lbScan_->setObjectName(QStringLiteral("lbScan"));
  lbScan_->setGeometry(16, 8, 401, 18);
  lbScan_->setTextFormat(Qt::PlainText);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("ProgressBar1"));
  progress_->setGeometry(16, 33, 401, 17);
  progress_->setOrientation(Qt::Horizontal);
  progress_->setTextVisible(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);
}

void ScanDialog::ShowCentred() {
  if (QWidget* owner = parentWidget()) {
    const QRect r = owner->frameGeometry();
    const QSize size = frameGeometry().size();
    move(r.left() + r.width() / 2 - size.width() / 2, r.top() + r.height() / 2 - size.height() / 2);
  }
  show();
  raise();
}

void ScanDialog::closeEvent(QCloseEvent* event) {
  // FormCloseQuery: the user is told, in a box above the dialog, and the
  // dialog closes in every case; the scan itself goes on to its end.
  if (scanning_) {
    services_.ShowPlainMessageOver(this, "Abort scanning!", "KORVA Builder", MsgKind::Information);
  }
  event->accept();
}

void ScanDialog::keyPressEvent(QKeyEvent* event) {
  // Escape closes the dialog like its close box.
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace korva::app
