#include "app/TTaskThread.h"

namespace korva::app {

TTaskThread::TTaskThread(std::function<void()> task) : task_(std::move(task)) {}

void TTaskThread::run() {
  try {
    task_();
  } catch (...) {
    // Nothing may escape a thread; the task has restored the window itself.
  }
}

void RunInBackground(std::function<void()> task) {
  auto* thread = new TTaskThread(std::move(task));
  QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  thread->start();
}

}  // namespace korva::app
