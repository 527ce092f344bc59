#pragma once
// A single-line edit for the title fields (the sixteen menu titles, the
// cartridge select title and the two instruction lines). What is typed,
// pasted (keys, context menu, middle button) or composed by an input method
// goes through the core's CleanTitleText before the edit takes it: accented
// letters lose their accents, a to z are upper-cased, and what the title
// character set cannot hold is left out and reported once per input. A paste
// is cut to the field's length only then. Editing commands (select all, undo,
// redo with Ctrl+Z, Ctrl+Y or Ctrl+Shift+Z, cut, copy, delete) are not
// characters: they work as in any field. Nothing can be dropped in.
#include <QLineEdit>
#include <QStringList>

namespace korva::app {

class TitleEdit : public QLineEdit {
  Q_OBJECT
 public:
  TitleEdit(int maxLength, QWidget* parent);

  // The cleaned form of a text: accents taken off, only the printable
  // characters of the title character set kept, a to z upper-cased.
  static QString CleanText(const QString& text);

  // The status text for characters left out: "Not in the title character
  // set, left out: , ;".
  static QString LeftOutText(const QStringList& characters);

  // Inserts the cleaned `text` at the caret (over the selection), cut to the
  // room left; reports what was left out.
  void PasteText(const QString& text);

 signals:
  // The user changed the text, or typed a character the filter discarded.
  void edited();
  // Characters of one input that the title set could not hold, each once.
  void charactersLeftOut(const QStringList& characters);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // The cleaned form of an input, reporting what was left out.
  QString Filtered(const QString& text);
  void edtTitleChange(const QString& text);
  bool changing_ = false;
};

}  // namespace korva::app
