#include "app/ScanTask.h"

namespace korva::app {

ScanTask::ScanTask(std::function<void()> task) : task_(std::move(task)) {}

void ScanTask::run() {
  try {
    task_();
  } catch (...) {
    // Nothing may escape a thread; the task has restored the window itself.
  }
}

void RunInBackground(std::function<void()> task) {
  auto* thread = new ScanTask(std::move(task));
  QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  thread->start();
}

}  // namespace korva::app
