#pragma once

#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

namespace kalvera::testing {

// Answers every request with the bytes scripted for its path, written as they stand, then
// closes the connection: for framings an HTTP server library will not send (a chunked body
// without its last chunk, Transfer-Encoding beside Content-Length). Runs on the event loop of
// the test's own thread, the one the download runs on.
class ScriptedHttpServer : public QObject {
  public:
    // Port 0: any free port of 127.0.0.1.
    explicit ScriptedHttpServer(quint16 port = 0) {
        connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
        server_.listen(QHostAddress::LocalHost, port);
    }

    bool Listening() const { return server_.isListening(); }
    QString Url(const QString& path, bool writePort = true) const {
        return writePort
                   ? QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path)
                   : QStringLiteral("http://127.0.0.1%1").arg(path);
    }
    void Answer(const QByteArray& path, const QByteArray& response) { answers_[path] = response; }
    int Requests(const QByteArray& path) const { return requests_.value(path); }

  private:
    void Accept() {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
        }
    }

    void Read(QTcpSocket* socket) {
        QByteArray& request = pending_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n")) {
            return;
        }
        const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
        pending_.remove(socket);
        const QByteArray path = words.size() > 1 ? words[1] : QByteArray();
        ++requests_[path];
        socket->write(answers_.value(
            path, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
        socket->disconnectFromHost();  // after what was written has gone out
    }

    QTcpServer server_;
    QMap<QByteArray, QByteArray> answers_;
    QMap<QByteArray, int> requests_;
    QMap<QTcpSocket*, QByteArray> pending_;
};

// A chunked answer whose chunks hold `body` in pieces that end at line ends, with or without
// the last chunk that says the body is whole, and with the extra headers given.
inline QByteArray ChunkedAnswer(const QByteArray& body, bool lastChunk,
                                const QByteArray& extraHeaders = {}) {
    QByteArray answer =
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
        "Transfer-Encoding: chunked\r\nConnection: close\r\n" +
        extraHeaders + "\r\n";
    constexpr int kLinesPerChunk = 50;
    const QList<QByteArray> lines = body.split('\n');
    QByteArray chunk;
    for (int i = 0; i < lines.size(); ++i) {
        if (i + 1 < lines.size()) {
            chunk += lines[i] + '\n';
        } else {
            chunk += lines[i];  // the text after the last LF, if any
        }
        if (!chunk.isEmpty() && ((i + 1) % kLinesPerChunk == 0 || i + 1 == lines.size())) {
            answer += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
            chunk.clear();
        }
    }
    if (lastChunk) {
        answer += "0\r\n\r\n";
    }
    return answer;
}

}  // namespace kalvera::testing
