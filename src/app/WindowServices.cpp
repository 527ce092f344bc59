#include "app/WindowServices.h"

#include "app/MessageDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QShowEvent>
#include <QSpacerItem>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include "project/Model.h"

namespace korva::app {

namespace {

// A message box that, once it knows its size, centres itself on the window it
// belongs to, or on that window's screen while the window is not shown (the
// main window at start-up, which is then centred there too).
class CentredBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    QRect area;
    if (owner != nullptr && owner->isVisible()) {
      area = owner->frameGeometry();
    } else if (QScreen* s = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen()) {
      area = s->availableGeometry();
    }
    if (!area.isValid()) return;
    const QRect frame = frameGeometry();
    move(area.left() + (area.width() - frame.width()) / 2, area.top() + (area.height() - frame.height()) / 2);
  }
};

}  // namespace

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

void WindowServices::Record(ShownMessage message) {
  if (beforeMessage_) beforeMessage_();
  shown_.push_back(std::move(message));
  if (shownHook_) shownHook_(shown_.back());
}

MsgButton WindowServices::RunMessageDialog(const std::string& text, MsgKind kind, MsgButtons buttons) {
  QWidget* active = QApplication::activeWindow();
  QWidget* owner = active ? active : window_;
  Record({ShownMessage::Type::Centered, text, {}, kind, buttons, 0, owner->objectName().toStdString()});
  if (!answers_.empty()) {
    const MsgButton answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  if (nonInteractive_) return MessageDialog::EscapeButton(buttons | static_cast<unsigned>(MsgButton::Cancel));
  MessageDialog dialog(QString::fromStdString(text), kind, buttons, active ? active : window_);
  return dialog.Run(active);
}

void WindowServices::ShowStatusMessage(const std::string& text, int seconds) {
  OnUi([&] {
    shown_.push_back({ShownMessage::Type::Status, text, {}, MsgKind::Information, 0, seconds, {}});
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
  ShowPlainMessageOver(window_, text, caption, kind);
}

void WindowServices::ShowPlainMessageOver(QWidget* owner, const std::string& text, const std::string& caption,
                                          MsgKind kind) {
  OnUi([&] {
    Record({ShownMessage::Type::Plain, text, caption, kind, 0, 0, owner->objectName().toStdString()});
    if (!nonInteractive_) RunBox(owner, kind, caption, text);
  });
}

void WindowServices::ShowErrorBox(const std::string& message) {
  OnUi([&] {
    const std::string text = ErrorBoxText(message);
    Record({ShownMessage::Type::ErrorBox, text, "KORVA Builder", MsgKind::Error, 0, 0, window_->objectName().toStdString()});
    if (!nonInteractive_) RunBox(window_, MsgKind::Error, "KORVA Builder", text);
  });
}

void WindowServices::RunBox(QWidget* owner, MsgKind kind, const std::string& caption, const std::string& text) {
  CentredBox box(kind == MsgKind::Error     ? QMessageBox::Critical
                 : kind == MsgKind::Warning ? QMessageBox::Warning
                                            : QMessageBox::Information,
                 QString::fromStdString(caption),
                 QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), QMessageBox::Ok,
                 owner);
  box.setObjectName(QStringLiteral("MessageBox"));
  // Above an owner that stays on top, and wide enough for its caption.
  if (owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  const int captionWidth = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 160;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(captionWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
  box.exec();
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

}  // namespace korva::app
