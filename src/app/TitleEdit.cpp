#include "app/TitleEdit.h"

#include "project/Model.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>

namespace korva::app {

TitleEdit::TitleEdit(int maxLength, QWidget* parent) : QLineEdit(parent) {
  setMaxLength(maxLength);
  setAcceptDrops(false);
  connect(this, &QLineEdit::textChanged, this, &TitleEdit::edtTitleChange);
  connect(this, &QLineEdit::textEdited, this, &TitleEdit::edited);
}

QString TitleEdit::CleanText(const QString& text) {
  return QString::fromLatin1(CleanTitleText(text.toStdString()).Text);
}

QString TitleEdit::LeftOutText(const QStringList& characters) {
  return QStringLiteral("Not in the title character set, left out: %1").arg(characters.join(QLatin1Char(' ')));
}

QString TitleEdit::Filtered(const QString& text) {
  const CleanedTitle cleaned = CleanTitleText(text.toStdString());
  if (!cleaned.Dropped.empty()) {
    QStringList left;
    for (const std::string& c : cleaned.Dropped) left << QString::fromStdString(c);
    emit charactersLeftOut(left);
  }
  return QString::fromLatin1(cleaned.Text);
}

void TitleEdit::PasteText(const QString& text) {
  const QString clean = Filtered(text);
  if (!clean.isEmpty()) insert(clean);
}

void TitleEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  // The menu's Paste is the entry connected to this edit's paste() (by
  // pointer or by name, as the Qt version has it): it pastes through the
  // filter instead.
  for (QAction* action : menu->actions()) {
    if (disconnect(action, &QAction::triggered, this, &QLineEdit::paste) ||
        disconnect(action, SIGNAL(triggered()), this, SLOT(paste())))
      connect(action, &QAction::triggered, this, [this] { PasteText(QApplication::clipboard()->text()); });
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void TitleEdit::mouseReleaseEvent(QMouseEvent* event) {
  QClipboard* clipboard = QApplication::clipboard();
  if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() && !isReadOnly()) {
    deselect();
    PasteText(clipboard->text(QClipboard::Selection));
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

// Only a text the program sets can arrive here unclean; what the user types
// or pastes was cleaned on its way in, so the edit's undo history stays.
void TitleEdit::edtTitleChange(const QString& text) {
  if (changing_) return;
  const QString clean = CleanText(text);
  if (clean == text) return;
  // Keep the caret where it was, less the characters dropped before it.
  const int caret = cursorPosition();
  const int dropped = caret - CleanText(text.left(caret)).size();
  changing_ = true;
  setText(clean);
  setCursorPosition(std::max(0, caret - dropped));
  changing_ = false;
}

void TitleEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    PasteText(QApplication::clipboard()->text());
    event->accept();
    return;
  }
  // Ctrl+Y redoes on every desktop, as Ctrl+Shift+Z does.
  if (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier) {
    redo();
    event->accept();
    return;
  }
  const QString text = event->text();
  const bool typesCharacter = !text.isEmpty() && text.front().isPrint() &&
                              !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
  if (!typesCharacter) {
    QLineEdit::keyPressEvent(event);  // editing commands and keys that move
    return;
  }
  const QString clean = Filtered(text);
  if (clean.isEmpty()) {
    emit edited();  // discarded: the field stays as it was, the project is touched
    event->accept();
    return;
  }
  QKeyEvent cleaned(event->type(), event->key(), event->modifiers(), clean, event->isAutoRepeat(),
                    static_cast<ushort>(event->count()));
  QLineEdit::keyPressEvent(&cleaned);
  event->setAccepted(cleaned.isAccepted());
}

void TitleEdit::inputMethodEvent(QInputMethodEvent* event) {
  // A composed character ("é" by a dead key) is committed here, not typed.
  if (event->commitString().isEmpty()) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent cleaned(event->preeditString(), event->attributes());
  cleaned.setCommitString(Filtered(event->commitString()), event->replacementStart(), event->replacementLength());
  QLineEdit::inputMethodEvent(&cleaned);
  if (cleaned.commitString().isEmpty()) emit edited();
}

}  // namespace korva::app
