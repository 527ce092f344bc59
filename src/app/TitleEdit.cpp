#include "app/TitleEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMouseEvent>

#include "project/Model.h"

namespace korva::app {

TitleEdit::TitleEdit(int maxLength, QWidget* parent) : QLineEdit(parent) {
  setMaxLength(maxLength);
  setAcceptDrops(false);
  connect(this, &QLineEdit::textChanged, this, &TitleEdit::edtTitleChange);
}

QString TitleEdit::CleanText(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar ch : text) {
    const char16_t c = ch.unicode();
    if (c > 0x7F || c < 0x20 || !IsTitleChar(static_cast<unsigned char>(c))) continue;
    out.append(c >= 'a' && c <= 'z' ? QChar(char16_t(c - 'a' + 'A')) : ch);
  }
  return out;
}

void TitleEdit::PasteText(const QString& text) { insert(CleanText(text)); }

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
  // Cut, undo, redo and select-all type a control character outside the
  // title set: discarded, so those shortcuts do nothing here.
  if (event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Undo) ||
      event->matches(QKeySequence::Redo) || event->matches(QKeySequence::SelectAll)) {
    emit characterTyped();
    event->accept();
    return;
  }
  // Copy and paste pass as their characters are in the set.
  if (event->matches(QKeySequence::Copy)) {
    emit characterTyped();
    QLineEdit::keyPressEvent(event);
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    emit characterTyped();
    PasteText(QApplication::clipboard()->text());
    event->accept();
    return;
  }
  const QString text = event->text();
  const bool typesCharacter = !text.isEmpty() && event->key() != Qt::Key_Delete &&
                              !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
  if (!typesCharacter) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  emit characterTyped();
  const char32_t c = text.toUcs4().value(0);
  if (c > 0x7F || !IsTitleChar(static_cast<unsigned char>(c))) {
    event->accept();  // discarded: the field stays as it was
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace korva::app
