#pragma once
// The scan task: the worker thread that runs one task in the background,
// RunInBackground, which starts one and forgets it, and WindowScan, the
// window's side of a directory scan.
#include "romlib/Scan.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

class QWidget;

namespace korva::app {

class ScanDialog;
class WindowServices;

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

// Runs a scan on a worker and carries each of its steps over to the UI
// thread, in the scan's order: the window disabled and the progress dialog
// shown, the progress, the question before a scan replaces the ROM database
// with fewer than half its ROMs, the reload, and at the end the window enabled
// again, the dialog closed and the summary shown. The worker waits for every
// step except the per-file progress, which is queued and needs no answer.
class WindowScan : public QObject, public ScanObserver {
  Q_OBJECT
 public:
  // `window` is disabled while a scan runs. `reload` loads the ROM database
  // again (its errors end the scan); `finished` runs once the summary has
  // been shown.
  WindowScan(ScanDialog& dialog, WindowServices& services, QWidget* window, std::function<void()> reload,
             std::function<void()> finished);

  // Starts a scan of `directory` into the ROM database file at
  // `databasePath`. `headerDb` is read by the worker and must outlive it.
  void Start(const std::string& directory, bool recursive, const HeaderDatabase& headerDb,
             const std::string& databasePath);
  // True from Start until the summary has been shown.
  bool Running() const { return running_; }

  // What the window shows when a scan starts: the window disabled, the
  // progress dialog shown over it (enabled), `label` and an empty bar.
  void ShowStarted(const std::string& label);

  // ScanObserver, called by the worker.
  void ScanStarted(const std::string& label) override;
  void SetProgressMax(int maximum) override;
  void SetProgress(int position) override;
  bool ConfirmReplace(int had, int found) override;
  void SetLabel(const std::string& text) override;
  void ReloadDatabase() override;
  void ScanFinished(const ScanResult& result) override;

 private:
  static constexpr std::chrono::milliseconds kProgressInterval{15};

  template <typename F>
  void OnUi(F&& f);
  void ShowLatestProgress();

  ScanDialog& dialog_;
  WindowServices& services_;
  QWidget* window_;
  std::function<void()> reload_;
  std::function<void()> finished_;
  std::string directory_;  // as the scan resolved it, for the question
  bool running_ = false;
  std::atomic<int> latest_{0};
  std::atomic<bool> pending_{false};
  std::chrono::steady_clock::time_point lastPost_{};  // the worker's own
};

}  // namespace korva::app
