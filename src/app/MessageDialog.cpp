#include "app/MessageDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace korva::app {

namespace {

QStyle::StandardPixmap IconFor(MsgKind kind) {
  switch (kind) {
    case MsgKind::Warning: return QStyle::SP_MessageBoxWarning;
    case MsgKind::Error: return QStyle::SP_MessageBoxCritical;
    case MsgKind::Information: return QStyle::SP_MessageBoxInformation;
    case MsgKind::Confirmation: return QStyle::SP_MessageBoxQuestion;
  }
  return QStyle::SP_MessageBoxInformation;
}

}  // namespace

QString MessageDialog::TitleFor(MsgKind kind) {
  switch (kind) {
    case MsgKind::Warning: return QStringLiteral("Warning");
    case MsgKind::Error: return QStringLiteral("Error");
    case MsgKind::Information: return QStringLiteral("Information");
    case MsgKind::Confirmation: return QStringLiteral("Confirm");
  }
  return QString();
}

MsgButton MessageDialog::EnterButton(MsgButtons buttons) {
  return HasButton(buttons, MsgButton::OK) ? MsgButton::OK : MsgButton::Yes;
}

MsgButton MessageDialog::EscapeButton(MsgButtons buttons) {
  if (HasButton(buttons, MsgButton::Cancel)) return MsgButton::Cancel;
  if (HasButton(buttons, MsgButton::No)) return MsgButton::No;
  return MsgButton::OK;
}

MessageDialog::MessageDialog(const QString& text, MsgKind kind, MsgButtons buttons, QWidget* parent)
    : QDialog(parent), buttons_(buttons) {
  setWindowTitle(TitleFor(kind));
  setModal(true);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  auto* icon = new QLabel(this);
  const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(IconFor(kind), nullptr, this).pixmap(size, size));
  icon->setAlignment(Qt::AlignTop);

  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  auto* label = new QLabel(shown, this);
  label->setObjectName(QStringLiteral("lblMessage"));
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setMinimumWidth(220);
  label->setMaximumWidth(460);

  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addSpacing(8);
  top->addWidget(label, 1);

  auto* row = new QHBoxLayout;
  row->addStretch(1);
  const std::pair<MsgButton, const char*> order[] = {
      {MsgButton::Yes, "&Yes"}, {MsgButton::No, "&No"}, {MsgButton::OK, "OK"}, {MsgButton::Cancel, "Cancel"}};
  const MsgButton enter = EnterButton(buttons);
  for (const auto& [b, caption] : order) {
    if (!HasButton(buttons, b)) continue;
    auto* button = new QPushButton(QString::fromLatin1(caption), this);
    button->setAutoDefault(false);
    button->setDefault(b == enter);
    connect(button, &QPushButton::clicked, this, [this, b = b] { Press(b); });
    byButton_[b] = button;
    row->addWidget(button);
  }
  row->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(10);
  layout->addLayout(row);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton* MessageDialog::Button(MsgButton b) const {
  auto it = byButton_.find(b);
  return it == byButton_.end() ? nullptr : it->second;
}

void MessageDialog::Press(MsgButton b) {
  result_ = b;
  done(static_cast<int>(b));
}

void MessageDialog::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Enter presses the focused button if there is one, else the default.
      if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
        focused->click();
      } else {
        Press(EnterButton(buttons_));
      }
      return;
    case Qt::Key_Escape:
      Press(EscapeButton(buttons_));
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void MessageDialog::closeEvent(QCloseEvent* event) {
  // The close box counts as Cancel. done() closes too; keep its result then.
  if (isVisible() && result() == 0) result_ = MsgButton::Cancel;
  QDialog::closeEvent(event);
}

MsgButton MessageDialog::Run(QWidget* over) {
  adjustSize();
  const QSize frame = frameGeometry().size();
  QRect r;
  if (over != nullptr) {
    r = over->frameGeometry();
  } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
    r = screen->availableGeometry();
  }
  if (r.isValid()) {
    move(r.left() + r.width() / 2 - frame.width() / 2, r.top() + r.height() / 2 - frame.height() / 2);
  }
  result_ = MsgButton::Cancel;
  if (QPushButton* b = Button(EnterButton(buttons_))) b->setFocus();
  exec();
  return result_;
}

}  // namespace korva::app
