// Before any header that may bring in windows.h, which must come after winsock2.h.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "scripted_http_server.h"

#include <QFile>
#include <QSocketNotifier>
#include <QSslSocket>
#include <QTimer>
#include <optional>

namespace kalvera::testing {
namespace {

// What a TLS connection's first byte is: the record type of a handshake.
constexpr char kTlsHandshake = 0x16;
// More body is asked for while less than this waits to go out.
constexpr qint64 kHighWater = 1 << 20;

void CloseDescriptor(qintptr descriptor) {
#ifdef _WIN32
    ::closesocket(static_cast<SOCKET>(descriptor));
#else
    ::close(static_cast<int>(descriptor));
#endif
}

// The connection's first byte, left in place; nothing when it closed without one.
std::optional<char> PeekFirstByte(qintptr descriptor) {
    char first = 0;
#ifdef _WIN32
    const int got = ::recv(static_cast<SOCKET>(descriptor), &first, 1, MSG_PEEK);
#else
    const ssize_t got = ::recv(static_cast<int>(descriptor), &first, 1, MSG_PEEK);
#endif
    return got == 1 ? std::optional<char>(first) : std::nullopt;
}

QByteArray Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Whatever";
    }
}

QByteArray StatusLine(int status) {
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + Reason(status) + "\r\n";
}

}  // namespace

class ScriptedHttpServer::Connection : public QObject {
  public:
    using QObject::QObject;
    QTcpSocket* socket = nullptr;
    QByteArray request;
    ScriptedAnswer answer;
    qint64 streamed = 0;
    bool begun = false;    // the request is in and an answer chosen
    bool started = false;  // the answer is being written
    bool done = false;
};

ScriptedHttpServer::ScriptedHttpServer(quint16 port) {
    listen(QHostAddress::LocalHost, port);
}

ScriptedHttpServer::~ScriptedHttpServer() {
    for (const qintptr descriptor : std::as_const(unread_)) {
        CloseDescriptor(descriptor);
    }
}

QString ScriptedHttpServer::Url(const QString& path, bool writePort) const {
    return writePort ? QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path)
                     : QStringLiteral("http://127.0.0.1%1").arg(path);
}

QString ScriptedHttpServer::HttpsUrl(const QString& path) const {
    return QStringLiteral("https://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

void ScriptedHttpServer::Answer(const QByteArray& path, const QByteArray& response) {
    Answer(path, ScriptedAnswer{response});
}

void ScriptedHttpServer::Answer(const QByteArray& path, const ScriptedAnswer& answer) {
    answers_[path] = {answer};
}

void ScriptedHttpServer::AnswerInTurn(const QByteArray& path,
                                      const QList<ScriptedAnswer>& answers) {
    answers_[path] = answers;
}

bool ScriptedHttpServer::ServeTls(const QString& certificateFile, const QString& keyFile) {
    QFile certificate(certificateFile);
    QFile key(keyFile);
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
        return false;
    }
    certificate_ = QSslCertificate(certificate.readAll());
    key_ = QSslKey(key.readAll(), QSsl::Rsa);
    return QSslSocket::supportsSsl() && !certificate_.isNull() && !key_.isNull();
}

void ScriptedHttpServer::OpenGate() {
    while (!held_.isEmpty()) {
        const QPointer<Connection> next = held_.takeFirst();
        if (next) {
            Begin(next);
            return;
        }
    }
    ++gatePasses_;
}

// TLS or not is told by the first byte, which only the client's first write brings: until
// then the descriptor is watched here, and then handed to the socket that speaks its language.
void ScriptedHttpServer::incomingConnection(qintptr descriptor) {
    unread_.insert(descriptor);
    auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this, notifier, descriptor] {
        notifier->setEnabled(false);
        notifier->deleteLater();
        unread_.remove(descriptor);
        Serve(descriptor);
    });
}

void ScriptedHttpServer::Serve(qintptr descriptor) {
    const std::optional<char> first = PeekFirstByte(descriptor);
    if (!first) {
        CloseDescriptor(descriptor);
        return;
    }
    const bool tls = *first == kTlsHandshake && !certificate_.isNull();
    auto* connection = new Connection(this);
    QTcpSocket* socket = tls ? new QSslSocket(connection) : new QTcpSocket(connection);
    if (!socket->setSocketDescriptor(descriptor)) {
        CloseDescriptor(descriptor);
        delete connection;
        return;
    }
    connection->socket = socket;
    connect(socket, &QTcpSocket::readyRead, connection, [this, connection] { Read(connection); });
    connect(socket, &QTcpSocket::bytesWritten, connection,
            [this, connection] { Pump(connection); });
    connect(socket, &QTcpSocket::disconnected, connection, &QObject::deleteLater);
    if (tls) {
        auto* secure = static_cast<QSslSocket*>(socket);
        secure->setLocalCertificate(certificate_);
        secure->setPrivateKey(key_);
        secure->setPeerVerifyMode(QSslSocket::VerifyNone);
        secure->startServerEncryption();
    }
}

void ScriptedHttpServer::Read(Connection* connection) {
    connection->request += connection->socket->readAll();
    if (connection->begun || !connection->request.contains("\r\n\r\n")) {
        return;
    }
    connection->begun = true;
    const QByteArray& request = connection->request;
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray path = words.size() > 1 ? words[1] : QByteArray();
    const int turn = ++requests_[path];
    const QList<ScriptedAnswer> answers = answers_.value(
        path, {{StatusLine(404) + "Content-Length: 0\r\nConnection: close\r\n\r\n"}});
    connection->answer = answers[std::min<qsizetype>(turn, answers.size()) - 1];
    if (!connection->answer.gated) {
        Begin(connection);
    } else if (gatePasses_ > 0) {
        --gatePasses_;
        Begin(connection);
    } else {
        held_.append(connection);
    }
}

void ScriptedHttpServer::Begin(Connection* connection) {
    connection->started = true;
    connection->socket->write(connection->answer.bytes);
    Pump(connection);
}

void ScriptedHttpServer::Pump(Connection* connection) {
    ScriptedAnswer& answer = connection->answer;
    if (!connection->started || connection->done) {
        return;
    }
    QTcpSocket* socket = connection->socket;
    while (answer.stream && socket->bytesToWrite() < kHighWater) {
        const QByteArray piece = answer.stream(connection->streamed);
        if (piece.isEmpty()) {
            answer.stream = nullptr;
            break;
        }
        connection->streamed += piece.size();
        socket->write(piece);
    }
    if (answer.stream) {
        return;  // the rest once the connection has taken this
    }
    connection->done = true;
    switch (answer.then) {
        case ScriptedAnswer::Then::Close:
            socket->disconnectFromHost();  // after what was written has gone out
            break;
        case ScriptedAnswer::Then::Stall:
            stallReached_ = true;
            break;
        case ScriptedAnswer::Then::Drip: {
            auto* timer = new QTimer(connection);
            connect(timer, &QTimer::timeout, connection, [this, socket, drip = answer.drip] {
                socket->write(drip.mid(dripped_ % drip.size(), 1));
                ++dripped_;
            });
            timer->start(50);
            break;
        }
    }
}

QByteArray LengthAnswer(int status, const QByteArray& body, const QByteArray& type,
                        const QByteArray& extraHeaders) {
    return StatusLine(status) + (type.isEmpty() ? QByteArray() : "Content-Type: " + type + "\r\n") +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n" +
           extraHeaders + "\r\n" + body;
}

QByteArray RedirectAnswer(const QByteArray& location, const QByteArray& body) {
    return LengthAnswer(302, body, body.isEmpty() ? QByteArray() : "text/plain",
                        "Location: " + location + "\r\n");
}

QByteArray CloseFramedHead(const QByteArray& extraHeaders) {
    return StatusLine(200) + "Content-Type: text/plain\r\nConnection: close\r\n" + extraHeaders +
           "\r\n";
}

QByteArray ChunkedAnswer(const QByteArray& body, bool lastChunk, const QByteArray& extraHeaders) {
    QByteArray answer = StatusLine(200) +
                        "Content-Type: text/plain\r\nTransfer-Encoding: chunked\r\n"
                        "Connection: close\r\n" +
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
