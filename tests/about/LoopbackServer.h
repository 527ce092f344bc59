#pragma once
// A small HTTP server on 127.0.0.1 for the update check's tests. It answers
// every request with the one reply it was given, or never answers at all, and
// records the requests it saw. It serves a bounded number of connections and
// stops by itself after a while, so a test that goes wrong cannot leave it
// running.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

class LoopbackServer : public QObject {
  Q_OBJECT

 public:
  // Stops listening and drops every connection after `lifetimeMs`.
  explicit LoopbackServer(int lifetimeMs = 20000, QObject* parent = nullptr);
  ~LoopbackServer() override;

  // Starts listening on a free port of 127.0.0.1. False when that fails.
  bool Start();
  void Stop();
  quint16 Port() const { return port_; }
  // "http://127.0.0.1:<port><path>"
  QString Url(const QString& path = QStringLiteral("/check-update/korva")) const;

  // Every request is answered with this status line and body.
  void Answer(const QByteArray& body, const QByteArray& status = "200 OK",
              const QByteArray& contentType = "text/plain");
  // The raw bytes to send back, headers and all; the connection is closed
  // after them.
  void AnswerRaw(const QByteArray& bytes);
  // Requests are read and never answered; the connection stays open.
  void NeverAnswer();

  // The requests seen so far, each its head (request line and headers).
  const QList<QByteArray>& Requests() const { return requests_; }

 private:
  void OnNewConnection();
  void OnReadable(QTcpSocket* socket);

  QTcpServer server_;
  QTimer lifetime_;
  quint16 port_ = 0;
  int connections_ = 0;
  bool silent_ = false;
  QByteArray reply_;
  QList<QByteArray> requests_;
};
