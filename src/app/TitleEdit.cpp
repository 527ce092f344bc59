#include "app/TitleEdit.h"

#include <QKeyEvent>
#include <QKeySequence>

#include "project/Model.h"

namespace korva::app {

TitleEdit::TitleEdit(int maxLength, QWidget* parent) : QLineEdit(parent) {
  setMaxLength(maxLength);
  // No drop-in of foreign text formats: what arrives is cleaned anyway.
  connect(this, &QLineEdit::textChanged, this, &TitleEdit::edtTitleChange);
}

QString TitleEdit::CleanText(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar ch : text) {
    const char16_t c = ch.unicode();
    if (c > 0x7F || c < 0x20 || c == 0x7F) continue;
    out.append(c >= 'a' && c <= 'z' ? QChar(char16_t(c - 'a' + 'A')) : ch);
  }
  return out;
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
  if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Paste)) {
    emit characterTyped();
    QLineEdit::keyPressEvent(event);
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
