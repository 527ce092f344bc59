#pragma once
// The worker thread that runs one task in the background, and
// RunInBackground, which starts one and forgets it: the thread frees itself
// when the task ends, and the task makes its own end visible.
#include <QThread>

#include <functional>

namespace korva::app {

class ScanTask : public QThread {
  Q_OBJECT
 public:
  explicit ScanTask(std::function<void()> task);

 protected:
  void run() override;

 private:
  std::function<void()> task_;
};

// Starts `task` on a new self-freeing worker and returns at once. An error
// that escapes the task ends the thread without a message: the task must
// restore the window state on every path of its own.
void RunInBackground(std::function<void()> task);

}  // namespace korva::app
