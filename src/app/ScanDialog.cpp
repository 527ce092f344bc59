#include "app/ScanDialog.h"

#include "app/WindowServices.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <memory>

namespace korva::app {

namespace {

constexpr auto kIncludeSubfoldersKey = "IncludeSubfolders";

std::unique_ptr<QSettings> OpenSettings(const QString& file) {
  return file.isEmpty() ? std::make_unique<QSettings>() : std::make_unique<QSettings>(file, QSettings::IniFormat);
}

}  // namespace

ScanDialog::ScanDialog(WindowServices& services, QWidget* owner, QString settingsFile)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      services_(services),
      settingsFile_(std::move(settingsFile)) {
  setObjectName(QStringLiteral("frmScanFiles"));
  setWindowTitle(QStringLiteral("Scanning Files..."));
  setModal(false);

  lbScan_ = new QLabel(this);
  lbScan_->setObjectName(QStringLiteral("lbScan"));
  lbScan_->setTextFormat(Qt::PlainText);
  // A long path is cut at the dialog's edge rather than widening it.
  lbScan_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("ProgressBar1"));
  progress_->setFixedHeight(17);
  progress_->setOrientation(Qt::Horizontal);
  progress_->setTextVisible(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);

  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("btnCancel"));
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &ScanDialog::RequestCancel);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 8, 16, 12);
  layout->setSpacing(7);
  layout->addWidget(lbScan_);
  layout->addWidget(progress_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  setFixedWidth(434);
}

void ScanDialog::SetScanning(bool on) {
  scanning_ = on;
  if (on) {
    cancelRequested_.store(false);
    cancel_->setEnabled(true);
    cancel_->setText(QStringLiteral("Cancel"));
  }
}

void ScanDialog::RequestCancel() {
  if (!scanning_ || cancelRequested_.load()) return;
  cancelRequested_.store(true);
  cancel_->setEnabled(false);
  lbScan_->setText(QStringLiteral("Cancelling..."));
}

void ScanDialog::ShowCentred() {
  setFixedHeight(sizeHint().height());
  if (QWidget* owner = parentWidget()) {
    const QRect r = owner->frameGeometry();
    const QSize size = frameGeometry().size();
    move(r.left() + r.width() / 2 - size.width() / 2, r.top() + r.height() / 2 - size.height() / 2);
  }
  show();
  raise();
}

std::optional<ScanDialog::Choice> ScanDialog::AskDirectory() {
  bool subfolders = IncludeSubfolders();
  const QString directory =
      services_.AskDirectory(QStringLiteral("Select Directory"), QStringLiteral("Include subfolders"), &subfolders);
  if (directory.isEmpty()) return std::nullopt;
  SetIncludeSubfolders(subfolders);
  return Choice{directory.toStdString(), subfolders};
}

bool ScanDialog::IncludeSubfolders() const {
  return OpenSettings(settingsFile_)->value(QString::fromLatin1(kIncludeSubfoldersKey), false).toBool();
}

void ScanDialog::SetIncludeSubfolders(bool on) {
  OpenSettings(settingsFile_)->setValue(QString::fromLatin1(kIncludeSubfoldersKey), on);
}

void ScanDialog::closeEvent(QCloseEvent* event) {
  // While a scan runs, the close box stops it; the dialog closes when the
  // scan has ended.
  if (scanning_) {
    RequestCancel();
    event->ignore();
    return;
  }
  event->accept();
}

void ScanDialog::keyPressEvent(QKeyEvent* event) {
  // Escape is the close box.
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace korva::app
