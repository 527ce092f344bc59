#pragma once
// A single-line edit for the title fields (the sixteen menu titles, the
// cartridge select title and the two instruction lines). Typed characters are
// filtered by the title character set before the edit takes them; a paste
// (keys, context menu, middle button) keeps exactly what typing would and is
// cut to the field's length only then; every other change of the text is
// cleaned the same way. Nothing can be dropped in.
#include <QLineEdit>

namespace korva::app {

class TitleEdit : public QLineEdit {
  Q_OBJECT
 public:
  TitleEdit(int maxLength, QWidget* parent);

  // The cleaned form of a text: only the printable characters of the title
  // character set kept, the letters a to z upper-cased.
  static QString CleanText(const QString& text);

  // Inserts the cleaned `text` at the caret, cut to the room left.
  void PasteText(const QString& text);

 signals:
  // A character was typed (kept or discarded by the filter).
  void characterTyped();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void edtTitleChange(const QString& text);
  bool changing_ = false;
};

}  // namespace korva::app
