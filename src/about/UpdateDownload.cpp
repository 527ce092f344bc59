#include "about/UpdateDownload.h"

#include "project/Model.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace korva {
namespace {

// Asks the operating system's proxy settings for every request of one
// manager, without changing the setting for the whole application.
class SystemProxyFactory : public QNetworkProxyFactory {
 public:
  QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
    return QNetworkProxyFactory::systemProxyForQuery(query);
  }
};

}  // namespace

bool IsHttpScheme(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QByteArray DownloadText(const QString& url, int timeoutMs, DownloadCancel* cancel) {
  if (QCoreApplication::instance() == nullptr) throw DownloadError("Unable to initialize Wininet");
  const QUrl address(url, QUrl::StrictMode);
  if (!address.isValid() || !IsHttpScheme(address) || address.host().isEmpty())
    throw DownloadError("The update address \"" + url.toStdString() + "\" is not an http or https address");
  const auto unreachable = [&](const QString& why) {
    const QString server = address.port() < 0 ? address.host() : QStringLiteral("%1:%2").arg(address.host()).arg(address.port());
    return DownloadError(QStringLiteral("The update server %1 could not be reached: %2").arg(server, why).toStdString());
  };

  QNetworkAccessManager manager;
  manager.setProxyFactory(new SystemProxyFactory);  // the manager owns it
  QNetworkRequest request(address);
  request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("KORVA Build %1").arg(BuildNumber));
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  // The reply belongs to the manager, which deletes it on return.
  QNetworkReply* reply = manager.get(request);

  QByteArray body;
  bool full = false;
  bool timedOut = false;
  QEventLoop loop;
  // Appends what has arrived, 1024 bytes at a time, up to the size limit.
  const auto readArrived = [&] {
    char chunk[kDownloadChunkBytes];
    while (!full) {
      const qint64 room = kDownloadMaxBytes - body.size();
      const qint64 got = reply->read(chunk, std::min<qint64>(kDownloadChunkBytes, room));
      if (got <= 0) break;
      body.append(chunk, got);
      if (body.size() >= kDownloadMaxBytes) full = true;
    }
    if (full) loop.quit();
  };
  QObject::connect(reply, &QIODevice::readyRead, &loop, readArrived);
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
    timedOut = true;
    loop.quit();
  });
  deadline.start(std::max(timeoutMs, 0));
  if (cancel != nullptr) {
    cancel->requested_ = false;
    cancel->stop_ = [&loop] { loop.quit(); };
  }
  if (!reply->isFinished()) loop.exec();
  deadline.stop();
  QObject::disconnect(reply, nullptr, &loop, nullptr);
  if (cancel != nullptr) {
    cancel->stop_ = nullptr;
    if (cancel->requested_) {
      reply->abort();
      throw DownloadCancelled();
    }
  }

  if (!full && !timedOut) readArrived();
  // Whatever happened, nothing more is read from this reply.
  const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
  if (!reply->isFinished()) reply->abort();
  if (timedOut && !full)
    throw unreachable(QStringLiteral("no answer within %1 seconds").arg(QString::number(timeoutMs / 1000.0)));
  // No status means no HTTP answer came at all (no network, unknown host,
  // refused connection, failed secure connection): Qt names the reason. An
  // answer that breaks off ends its body there.
  if (!answered) throw unreachable(reply->errorString());
  return body;
}

}  // namespace korva
