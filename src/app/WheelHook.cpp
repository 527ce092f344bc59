#include "app/WheelHook.h"

#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

namespace korva::app {

WheelHook::WheelHook(QScrollBar* scrollBar, QWidget* window, QObject* parent)
    : QObject(parent), scrollBar_(scrollBar), window_(window) {}

void WheelHook::Apply(int angleDelta) {
  if (scrollBar_ == nullptr || angleDelta == 0) return;
  // A turn in the other direction starts afresh.
  if ((pending_ > 0 && angleDelta < 0) || (pending_ < 0 && angleDelta > 0)) pending_ = 0;
  pending_ += angleDelta;
  const int rows = pending_ / 120;
  if (rows == 0) return;
  pending_ -= rows * 120;
  // Away from the user moves the list up, toward the earlier rows.
  scrollBar_->setValue(scrollBar_->value() - rows);
}

bool WheelHook::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Wheel) return QObject::eventFilter(watched, event);
  // Only wheels over a control of the main window.
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || window_ == nullptr || widget->window() != window_) return false;
  auto* wheel = static_cast<QWheelEvent*>(event);
  Apply(wheel->angleDelta().y());
  wheel->accept();
  return true;
}

}  // namespace korva::app
