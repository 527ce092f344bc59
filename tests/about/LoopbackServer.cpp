#include "LoopbackServer.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {
constexpr int kMaxConnections = 16;
constexpr int kMaxRequestHeadBytes = 16 * 1024;
}  // namespace

LoopbackServer::LoopbackServer(int lifetimeMs, QObject* parent) : QObject(parent) {
  lifetime_.setSingleShot(true);
  lifetime_.setInterval(lifetimeMs);
  connect(&lifetime_, &QTimer::timeout, this, &LoopbackServer::Stop);
  connect(&server_, &QTcpServer::newConnection, this, &LoopbackServer::OnNewConnection);
  Answer("13,http://127.0.0.1/download");
}

LoopbackServer::~LoopbackServer() { Stop(); }

bool LoopbackServer::Start() {
  if (!server_.listen(QHostAddress::LocalHost, 0)) return false;
  port_ = server_.serverPort();
  lifetime_.start();
  return true;
}

void LoopbackServer::Stop() {
  lifetime_.stop();
  server_.close();
  const auto sockets = findChildren<QTcpSocket*>();
  for (QTcpSocket* socket : sockets) {
    socket->abort();
    socket->deleteLater();
  }
}

QString LoopbackServer::Url(const QString& path) const {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

void LoopbackServer::Answer(const QByteArray& body, const QByteArray& status, const QByteArray& contentType) {
  AnswerRaw("HTTP/1.1 " + status + "\r\nContent-Type: " + contentType +
            "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

void LoopbackServer::AnswerRaw(const QByteArray& bytes) {
  silent_ = false;
  reply_ = bytes;
}

void LoopbackServer::NeverAnswer() { silent_ = true; }

void LoopbackServer::OnNewConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    socket->setParent(this);
    if (++connections_ > kMaxConnections) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    socket->setProperty("head", QByteArray());
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadable(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  }
}

void LoopbackServer::OnReadable(QTcpSocket* socket) {
  QByteArray head = socket->property("head").toByteArray() + socket->readAll();
  if (head.size() > kMaxRequestHeadBytes) {
    socket->abort();
    return;
  }
  socket->setProperty("head", head);
  const qsizetype end = head.indexOf("\r\n\r\n");
  if (end < 0) return;
  requests_.append(head.left(end));
  socket->setProperty("head", QByteArray());
  if (silent_) return;
  socket->write(reply_);
  socket->disconnectFromHost();
}
