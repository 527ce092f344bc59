#pragma once
// The main window's mouse-wheel hook: a wheel turned over any control of the
// main window scrolls the slot list, one row per 120 units of wheel angle
// (one notch of a classic wheel). Smaller steps, from touchpads and
// fine-grained wheels, add up until they make a row. The wheel never reaches
// the control under the pointer, so it cannot change a list's selection.
// Wheels over any other window (a file dialog, an open drop-down list, a
// message box) are theirs.
#include <QObject>
#include <QPointer>

class QScrollBar;
class QWidget;

namespace korva::app {

class WheelHook : public QObject {
  Q_OBJECT
 public:
  WheelHook(QScrollBar* scrollBar, QWidget* window, QObject* parent = nullptr);

  // Applies a vertical wheel angle: positive is away from the user (up).
  void Apply(int angleDelta);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QScrollBar> scrollBar_;
  QPointer<QWidget> window_;
  int pending_ = 0;  // wheel angle not yet turned into a row
};

}  // namespace korva::app
