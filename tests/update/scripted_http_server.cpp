#include "scripted_http_server.h"

#include <QFile>
#include <QSslSocket>

namespace kalvera::testing {

ScriptedHttpServer::ScriptedHttpServer() {
    if (!listen(QHostAddress::LocalHost)) {
        qFatal("the scripted server cannot listen: %s", qPrintable(errorString()));
    }
}

QString ScriptedHttpServer::Url(const QString& path, const QString& scheme) const {
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(serverPort()).arg(path);
}

bool ScriptedHttpServer::ServeTls(const QString& certificateFile, const QString& keyFile) {
    certificate_ = QSslCertificate::fromPath(certificateFile).value(0);
    QFile key(keyFile);
    key_ = key.open(QIODevice::ReadOnly) ? QSslKey(&key, QSsl::Rsa) : QSslKey();
    return QSslSocket::supportsSsl() && !certificate_.isNull() && !key_.isNull();
}

void ScriptedHttpServer::incomingConnection(qintptr descriptor) {
    QTcpSocket* socket = certificate_.isNull() ? new QTcpSocket(this) : new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        qFatal("the scripted server cannot take connection %d", static_cast<int>(descriptor));
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        const QByteArray request = socket->peek(socket->bytesAvailable());
        if (!request.contains("\r\n\r\n")) {
            return;  // the rest of the request is still on its way
        }
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        const QByteArray path = request.split(' ').value(1);
        ++requests_[path];
        const ScriptedAnswer answer =
            answers_.value(path, {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"});
        socket->write(answer.bytes);
        if (answer.stall) {
            ++stalls_;
        } else {
            socket->disconnectFromHost();  // after what was written has gone out
        }
    });
    if (auto* secure = qobject_cast<QSslSocket*>(socket)) {
        secure->setLocalCertificate(certificate_);
        secure->setPrivateKey(key_);
        secure->setPeerVerifyMode(QSslSocket::VerifyNone);
        secure->startServerEncryption();
    }
}

QByteArray LengthAnswer(int status, const QByteArray& body, const QByteArray& extraHeaders) {
    return "HTTP/1.1 " + QByteArray::number(status) +
           " Scripted\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
           extraHeaders + "\r\n" + body;
}

QByteArray ChunkedAnswer(const QByteArray& body, bool lastChunk, const QByteArray& extraHeaders) {
    return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n" + extraHeaders + "\r\n" +
           QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n" +
           (lastChunk ? "0\r\n\r\n" : "");
}

}  // namespace kalvera::testing
