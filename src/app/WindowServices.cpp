#include "app/WindowServices.h"

#include "app/MessageDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include "project/Model.h"

namespace korva::app {

WindowServices::WindowServices(QWidget* window, QStatusBar* statusBar, QObject* parent)
    : QObject(parent), window_(window), statusBar_(statusBar), timer_(new QTimer(this)) {
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(10000);  // always overwritten before it runs
  timer_->setSingleShot(false);
  connect(timer_, &QTimer::timeout, this, &WindowServices::Timer1Timer);
}

bool WindowServices::OnUiThread() const { return QThread::currentThread() == thread(); }

// Runs `f` on the UI thread and returns its result; from the worker the call
// waits until the UI thread has carried it out.
template <typename F>
auto WindowServices::OnUi(F&& f) {
  using R = decltype(f());
  if (OnUiThread()) return f();
  if constexpr (std::is_void_v<R>) {
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::BlockingQueuedConnection);
  } else {
    R result{};
    QMetaObject::invokeMethod(this, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

MsgButton WindowServices::ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons buttons) {
  return OnUi([&] { return RunMessageDialog(text, kind, buttons); });
}

MsgButton WindowServices::RunMessageDialog(const std::string& text, MsgKind kind, MsgButtons buttons) {
  shown_.push_back({ShownMessage::Type::Centered, text, {}, kind, buttons, 0});
  if (!answers_.empty()) {
    const MsgButton answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  if (nonInteractive_) return MessageDialog::EscapeButton(buttons | static_cast<unsigned>(MsgButton::Cancel));
  QWidget* active = QApplication::activeWindow();
  MessageDialog dialog(QString::fromStdString(text), kind, buttons, active ? active : window_);
  return dialog.Run(active);
}

void WindowServices::ShowStatusMessage(const std::string& text, int seconds) {
  OnUi([&] {
    shown_.push_back({ShownMessage::Type::Status, text, {}, MsgKind::Information, 0, seconds});
    timer_->stop();
    statusText_ = QString::fromStdString(text);
    if (auto* panel = statusBar_->findChild<QLabel*>(QStringLiteral("StatusPanel0"))) panel->setText(statusText_);
    timer_->setInterval(seconds * 1000);
    timer_->start();
  });
}

void WindowServices::Timer1Timer() {
  statusText_.clear();
  if (auto* panel = statusBar_->findChild<QLabel*>(QStringLiteral("StatusPanel0"))) panel->clear();
  timer_->stop();
}

QString WindowServices::StatusText() const { return statusText_; }

void WindowServices::UpdateCaption(const std::string& projectName) {
  OnUi([&] { window_->setWindowTitle(QString::fromStdString(CaptionText(projectName))); });
}

void WindowServices::ShowPlainMessage(const std::string& text, const std::string& caption, MsgKind kind) {
  OnUi([&] {
    shown_.push_back({ShownMessage::Type::Plain, text, caption, kind, 0, 0});
    if (nonInteractive_) return;
    QMessageBox box(kind == MsgKind::Error     ? QMessageBox::Critical
                    : kind == MsgKind::Warning ? QMessageBox::Warning
                                               : QMessageBox::Information,
                    QString::fromStdString(caption),
                    QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, window_);
    box.exec();
  });
}

void WindowServices::ShowErrorBox(const std::string& message) {
  OnUi([&] {
    const std::string text = ErrorBoxText(message);
    shown_.push_back({ShownMessage::Type::ErrorBox, text, "KORVA Builder", MsgKind::Error, 0, 0});
    if (nonInteractive_) return;
    QMessageBox box(QMessageBox::Critical, QStringLiteral("KORVA Builder"),
                    QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, window_);
    box.exec();
  });
}

QString WindowServices::NextFileName(bool* taken) {
  *taken = true;
  if (!fileNames_.empty()) {
    QString name = fileNames_.front();
    fileNames_.pop_front();
    return name;
  }
  if (nonInteractive_) return QString();
  *taken = false;
  return QString();
}

QString WindowServices::AskOpenProjectFile() {
  bool taken = false;
  QString name = NextFileName(&taken);
  if (taken) return name;
  QFileDialog dialog(window_, QStringLiteral("Open"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);  // Open checks the file itself
  dialog.setNameFilter(QString::fromLatin1(kProjectFilter));
  dialog.setDefaultSuffix(QStringLiteral("korva"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

QString WindowServices::AskSaveProjectFile() {
  bool taken = false;
  QString name = NextFileName(&taken);
  if (taken) return name;
  QFileDialog dialog(window_, QStringLiteral("Save As"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The overwrite question is the command's own.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setNameFilter(QString::fromLatin1(kProjectFilter));
  dialog.setDefaultSuffix(QStringLiteral("korva"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

QString WindowServices::AskDirectory(const QString& title) {
  bool taken = false;
  QString name = NextFileName(&taken);
  if (taken) return name;
  return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, QString(),
                                           QFileDialog::ShowDirsOnly);
}

}  // namespace korva::app
