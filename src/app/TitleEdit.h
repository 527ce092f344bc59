#pragma once
// A single-line edit for the title fields (the sixteen menu titles, the
// cartridge select title and the two instruction lines). Typed characters are
// filtered by the title character set before the edit takes them; every text
// change, typed, pasted or set by the program, is cleaned and upper-cased.
#include <QLineEdit>

namespace korva::app {

class TitleEdit : public QLineEdit {
  Q_OBJECT
 public:
  TitleEdit(int maxLength, QWidget* parent);

  // The cleaned form of a text: characters above 0x7F and control
  // characters dropped, the letters a to z upper-cased.
  static QString CleanText(const QString& text);

 signals:
  // A character was typed (kept or discarded by the filter).
  void characterTyped();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void edtTitleChange(const QString& text);
  bool changing_ = false;
};

}  // namespace korva::app
