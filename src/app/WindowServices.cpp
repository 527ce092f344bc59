#include "app/WindowServices.h"

#include "app/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include "project/Model.h"
#include "romlib/FileUtil.h"

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
  return MessageBox::FromQt(Ask(text, kind, MessageBox::ToQt(buttons)));
}

QMessageBox::StandardButton WindowServices::Ask(const std::string& text, MsgKind kind,
                                                QMessageBox::StandardButtons buttons) {
  return OnUi([&] {
    QWidget* active = QApplication::activeWindow();
    QWidget* owner = active ? active : window_;
    Record({ShownMessage::Type::Centered, text, {}, kind, buttons, 0, owner->objectName().toStdString()});
    if (!answers_.empty()) {
      const QMessageBox::StandardButton answer = answers_.front();
      answers_.pop_front();
      return answer;
    }
    if (nonInteractive_) return MessageBox::EscapeButtonOf(buttons | QMessageBox::Cancel);
    MessageBox box(MessageBox::IconFor(kind), MessageBox::TitleFor(kind), QString::fromStdString(text), buttons, owner);
    return box.Run(active);
  });
}

void WindowServices::QueueAnswer(MsgButton answer) { answers_.push_back(MessageBox::ToQt(answer)); }

void WindowServices::Record(ShownMessage message) {
  if (beforeMessage_) beforeMessage_();
  shown_.push_back(std::move(message));
  if (shownHook_) shownHook_(shown_.back());
}

void WindowServices::ShowStatusMessage(const std::string& text, int seconds) {
  OnUi([&] {
    shown_.push_back({ShownMessage::Type::Status, text, {}, MsgKind::Information, {}, seconds, {}});
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

void WindowServices::ShowCaption(const std::string& projectFileName, bool unsaved) {
  window_->setWindowTitle(CaptionText(projectFileName));
  window_->setWindowModified(unsaved);
}

void WindowServices::ShowPlainMessage(const std::string& text, const std::string& caption, MsgKind kind) {
  ShowPlainMessageOver(window_, text, caption, kind);
}

void WindowServices::ShowPlainMessageOver(QWidget* owner, const std::string& text, const std::string& caption,
                                          MsgKind kind) {
  OnUi([&] {
    Record({ShownMessage::Type::Plain, text, caption, kind, QMessageBox::Ok, 0, owner->objectName().toStdString()});
    if (nonInteractive_) return;
    MessageBox box(MessageBox::IconFor(kind), QString::fromStdString(caption), QString::fromStdString(text),
                   QMessageBox::Ok, owner);
    box.Run(owner);
  });
}

void WindowServices::ShowErrorBox(const std::string& message) {
  OnUi([&] {
    const QString text = MessageBox::ErrorText(QString::fromStdString(message));
    Record({ShownMessage::Type::ErrorBox, text.toStdString(), std::string(kApplicationTitle), MsgKind::Error,
            QMessageBox::Ok, 0, window_->objectName().toStdString()});
    if (!nonInteractive_) MessageBox::ShowError(window_, text);
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

QString WindowServices::AskDirectory(const QString& title, const QString& option, bool* checked) {
  bool taken = false;
  QString name = NextFileName(&taken);
  if (taken) return name;
  if (option.isEmpty() || checked == nullptr)
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, QString(),
                                             QFileDialog::ShowDirsOnly);
  // Qt's own folder browser, which takes a widget of ours below its list.
  QFileDialog dialog(QApplication::activeWindow(), title);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  auto* box = new QCheckBox(option, &dialog);
  box->setObjectName(QStringLiteral("OptionCheckBox"));
  box->setChecked(*checked);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  *checked = box->isChecked();
  return dialog.selectedFiles().first();
}

QString CaptionText(const std::string& projectFileName) {
  const std::string name = projectFileName.empty() ? "New Project" : FileNamePart(projectFileName);
  return QString::fromStdString(VersionText() + " - (" + name + ")") + QStringLiteral("[*]");
}

}  // namespace korva::app
