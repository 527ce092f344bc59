#include "app/MessageBox.h"

#include "project/Model.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QSpacerItem>

namespace korva::app {

MessageBox::MessageBox(Icon icon, const QString& caption, const QString& text, StandardButtons buttons,
                       QWidget* owner)
    : QMessageBox(icon, caption, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), buttons, owner) {
  setObjectName(QStringLiteral("MessageBox"));
  setTextFormat(Qt::PlainText);
  setDefaultButton(DefaultButtonOf(buttons));
  setEscapeButton(EscapeButtonOf(buttons));
  if (owner != nullptr && owner->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
  // Wide enough for its caption, which a window manager would otherwise cut.
  const int captionWidth = fontMetrics().horizontalAdvance(caption) + 160;
  if (auto* grid = qobject_cast<QGridLayout*>(layout()))
    grid->addItem(new QSpacerItem(captionWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

QMessageBox::StandardButton MessageBox::Run(QWidget* over) {
  over_ = over;
  exec();
  QAbstractButton* pressed = clickedButton();
  return pressed != nullptr ? standardButton(pressed) : EscapeButtonOf(standardButtons());
}

void MessageBox::showEvent(QShowEvent* event) {
  QMessageBox::showEvent(event);
  QRect area;
  if (over_ != nullptr && over_->isVisible()) {
    area = over_->window()->frameGeometry();
  } else if (QScreen* s = parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
    area = s->availableGeometry();
  }
  if (!area.isValid()) return;
  const QRect frame = frameGeometry();
  move(area.left() + (area.width() - frame.width()) / 2, area.top() + (area.height() - frame.height()) / 2);
}

void MessageBox::ShowError(QWidget* owner, const QString& message) {
  MessageBox box(Critical, QString::fromLatin1(kApplicationTitle.data(), qsizetype(kApplicationTitle.size())),
                 ErrorText(message), Ok, owner);
  box.Run(owner);
}

QString MessageBox::ErrorText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

QString MessageBox::TitleFor(MsgKind kind) {
  switch (kind) {
    case MsgKind::Warning: return QStringLiteral("Warning");
    case MsgKind::Error: return QStringLiteral("Error");
    case MsgKind::Information: return QStringLiteral("Information");
    case MsgKind::Confirmation: return QStringLiteral("Confirm");
  }
  return QString();
}

QMessageBox::Icon MessageBox::IconFor(MsgKind kind) {
  switch (kind) {
    case MsgKind::Warning: return Warning;
    case MsgKind::Error: return Critical;
    case MsgKind::Information: return Information;
    case MsgKind::Confirmation: return Question;
  }
  return Information;
}

namespace {
constexpr std::pair<MsgButton, QMessageBox::StandardButton> kButtons[] = {
    {MsgButton::Yes, QMessageBox::Yes},
    {MsgButton::No, QMessageBox::No},
    {MsgButton::OK, QMessageBox::Ok},
    {MsgButton::Cancel, QMessageBox::Cancel}};
}  // namespace

QMessageBox::StandardButtons MessageBox::ToQt(MsgButtons buttons) {
  StandardButtons qt;
  for (const auto& [ours, theirs] : kButtons)
    if (HasButton(buttons, ours)) qt |= theirs;
  return qt;
}

QMessageBox::StandardButton MessageBox::ToQt(MsgButton button) {
  for (const auto& [ours, theirs] : kButtons)
    if (button == ours) return theirs;
  return NoButton;
}

MsgButton MessageBox::FromQt(StandardButton button) {
  for (const auto& [ours, theirs] : kButtons)
    if (button == theirs) return ours;
  return MsgButton::Cancel;
}

QMessageBox::StandardButton MessageBox::EscapeButtonOf(StandardButtons buttons) {
  for (StandardButton b : {Cancel, No, Ok})
    if (buttons.testFlag(b)) return b;
  return NoButton;
}

QMessageBox::StandardButton MessageBox::DefaultButtonOf(StandardButtons buttons) {
  for (StandardButton b : {Ok, Yes, Save})
    if (buttons.testFlag(b)) return b;
  return NoButton;
}

}  // namespace korva::app
