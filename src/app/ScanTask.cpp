#include "app/ScanTask.h"

#include "app/ScanDialog.h"
#include "app/WindowServices.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <exception>
#include <utility>

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

WindowScan::WindowScan(ScanDialog& dialog, WindowServices& services, QWidget* window, std::function<void()> reload,
                       std::function<void()> finished)
    : QObject(window),
      dialog_(dialog),
      services_(services),
      window_(window),
      reload_(std::move(reload)),
      finished_(std::move(finished)) {}

template <typename F>
void WindowScan::OnUi(F&& f) {
  if (QThread::currentThread() == thread()) {
    f();
  } else {
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::BlockingQueuedConnection);
  }
}

void WindowScan::Start(const std::string& directory, bool recursive, const HeaderDatabase& headerDb,
                       const std::string& databasePath) {
  running_ = true;
  ScanOptions options;
  options.Recursive = recursive;
  options.Cancel = &dialog_.CancelRequested();
  // The worker reads the header database (read-only) and replaces the ROM
  // library only through the reload, which runs on this thread.
  const HeaderDatabase* db = &headerDb;
  RunInBackground([=, this] { ScanRomDirectory(directory, *db, databasePath, *this, options); });
  dialog_.raise();
}

void WindowScan::ShowStarted(const std::string& label) {
  window_->setEnabled(false);
  // A Cancel of an earlier scan is forgotten here.
  // The dialog belongs to the window but stays usable while the window is
  // disabled: a child window can be enabled on its own.
  dialog_.setEnabled(true);
  dialog_.SetScanning(true);
  dialog_.ProgressBar1()->setValue(0);
  dialog_.lbScan()->setText(QString::fromStdString(label));
  dialog_.ShowCentred();
}

void WindowScan::ScanStarted(const std::string& label) {
  latest_.store(0);
  lastPost_ = {};
  OnUi([&] { ShowStarted(label); });
}

void WindowScan::SetProgressMax(int maximum) {
  OnUi([&] { dialog_.ProgressBar1()->setRange(0, std::max(maximum, 1)); });
}

void WindowScan::SetProgress(int position) {
  // Once per file, so the worker neither waits for the UI thread here nor
  // wakes it for every file: at most one update is on its way at a time, at
  // most one every kProgressInterval, and it shows the newest position when
  // it arrives. The steps that follow bring the bar up to date first.
  latest_.store(position);
  if (QThread::currentThread() == thread()) {
    dialog_.ProgressBar1()->setValue(position);
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPost_ < kProgressInterval || pending_.exchange(true)) return;
  lastPost_ = now;
  QMetaObject::invokeMethod(
      this,
      [this] {
        pending_.store(false);
        ShowLatestProgress();
      },
      Qt::QueuedConnection);
}

void WindowScan::ShowLatestProgress() { dialog_.ProgressBar1()->setValue(latest_.load()); }

bool WindowScan::ConfirmReplace(int had, int found) {
  bool replace = false;
  OnUi([&] {
    ShowLatestProgress();
    // The question comes instead of the progress, which is complete.
    dialog_.hide();
    const std::string text = "The scan kept " + std::to_string(found) + (found == 1 ? " ROM" : " ROMs") +
                             ", fewer than half of the " + std::to_string(had) +
                             " in the ROM database.\r\n\r\nReplace the ROM database with the ROMs found?" +
                             " No keeps it as it is.";
    replace = services_.ShowCenteredMessage(text, MsgKind::Confirmation, MsgButton::Yes | MsgButton::No) ==
              MsgButton::Yes;
  });
  return replace;
}

void WindowScan::SetLabel(const std::string& text) {
  OnUi([&] {
    ShowLatestProgress();
    dialog_.lbScan()->setText(QString::fromStdString(text));
  });
}

void WindowScan::ReloadDatabase() {
  // An error of the reload goes back to the worker, where it ends the scan.
  std::exception_ptr error;
  OnUi([&] {
    try {
      reload_();
    } catch (...) {
      error = std::current_exception();
    }
  });
  if (error) std::rethrow_exception(error);
}

void WindowScan::ScanFinished(const ScanResult& result) {
  OnUi([&] {
    window_->setEnabled(true);
    dialog_.SetScanning(false);
    dialog_.close();
    // The summary over the enabled window, then what waited for the scan.
    const std::vector<std::string> lines = ScanSummary(result);
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i == 0 ? "" : i == 1 ? "\r\n\r\n" : "\r\n") + lines[i];
    services_.ShowCenteredMessage(text, ScanSummaryKind(result), static_cast<MsgButtons>(MsgButton::OK));
    running_ = false;
    if (finished_) finished_();
  });
}

}  // namespace korva::app
