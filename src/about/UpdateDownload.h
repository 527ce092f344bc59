#pragma once
// The update check's one HTTP GET: the whole body of the answer as bytes, or
// the reason there is none, in words for the user. The program's only network
// access; the About box runs it when asked.
#include <QByteArray>
#include <QString>

#include <functional>
#include <stdexcept>

class QUrl;

namespace korva {

// Limits of one update transfer. A transfer that has not ended after the time
// limit fails (the server could not be reached); a body longer than the
// size limit is cut there and the rest is not read.
constexpr int kDownloadTimeoutMs = 30000;
constexpr qint64 kDownloadMaxBytes = 64 * 1024;
constexpr qint64 kDownloadChunkBytes = 1024;

// A transfer that could not be made. The message is the user's text: "The
// update server HOST could not be reached: " and why (Qt's reason, such as
// "Host korva.example.org not found" or "Connection refused", or "no answer
// within 30 seconds"); "The update address "..." is not an http or https
// address"; or "Unable to initialize Wininet" without an application object.
class DownloadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The transfer was cancelled through its DownloadCancel.
class DownloadCancelled : public std::runtime_error {
 public:
  DownloadCancelled() : std::runtime_error("The update check was cancelled") {}
};

// Lets an event handler that runs during a transfer end it: Cancel() stops
// the transfer, which then raises DownloadCancelled.
class DownloadCancel {
 public:
  void Cancel() {
    requested_ = true;
    if (stop_) stop_();
  }
  bool Running() const { return static_cast<bool>(stop_); }

 private:
  friend QByteArray DownloadText(const QString& url, int timeoutMs, DownloadCancel* cancel);
  bool requested_ = false;
  std::function<void()> stop_;  // set while a transfer runs
};

// The whole body of an HTTP GET of `url`, as bytes. The request carries the
// user agent "KORVA Build 12", goes through the system's proxy settings and is
// always answered by the server, never from a cache. The status code is not
// looked at: an error page's body is returned like any other. Only http and
// https addresses are fetched.
//
// Runs on the calling (user-interface) thread and returns when the transfer
// ends; events, repaints among them, go on being handled meanwhile. Raises
// DownloadError when there is no application object to run the transfer, when
// no answer comes (no network, unknown host, refused connection, failed secure
// connection) and when the transfer takes longer than `timeoutMs`; raises
// DownloadCancelled when `cancel` is cancelled meanwhile.
QByteArray DownloadText(const QString& url, int timeoutMs = kDownloadTimeoutMs, DownloadCancel* cancel = nullptr);

// True for an http or https address (the scheme in any case).
bool IsHttpScheme(const QUrl& url);

}  // namespace korva
