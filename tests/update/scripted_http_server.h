#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <utility>

namespace kalvera::testing {

// One answer, as the server writes it to the connection.
struct ScriptedAnswer {
    enum class Then {
        Close,  // closes the connection once everything has gone out
        Stall,  // sends nothing more and keeps the connection open while the server lives
    };
    // Written as they stand: status line, header lines and as much body as given.
    QByteArray bytes = {};
    Then then = Then::Close;
    // Held back until OpenGate().
    bool gated = false;
};

// An HTTP server on 127.0.0.1 that answers each request with the bytes scripted for its path,
// whatever they hold: the chapter's plain answers as well as those no HTTP server library
// sends (a chunked body without its last chunk, header lines HTTP forbids); over TLS once
// ServeTls() has a certificate. Runs on the event loop of the test's own thread, the one the
// download runs on; each connection carries one request.
class ScriptedHttpServer : public QTcpServer {
  public:
    // Listens on a free port of 127.0.0.1.
    ScriptedHttpServer() { listen(QHostAddress::LocalHost); }

    bool Listening() const { return isListening(); }
    // The address of `path` here, over http or, once ServeTls() has a certificate, https.
    QString Url(const QString& path, const QString& scheme = QStringLiteral("http")) const;

    // What every request for `path` gets. Any other path gets 404.
    void Answer(const QByteArray& path, const ScriptedAnswer& answer) { answers_[path] = answer; }
    // Serves TLS from now on, with the certificate and key in these PEM files; false when either
    // is unusable.
    bool ServeTls(const QString& certificateFile, const QString& keyFile);

    // Requests that have arrived for `path`, answered yet or not.
    int Requests(const QByteArray& path) const { return requests_.value(path); }
    // Lets the gated answers begin: those held back and those to come.
    void OpenGate();
    // How many answers have come to their stall.
    int Stalls() const { return stalls_; }

  protected:
    void incomingConnection(qintptr descriptor) override;

  private:
    void Begin(QTcpSocket* socket, const ScriptedAnswer& answer);

    QHash<QByteArray, ScriptedAnswer> answers_;
    QHash<QByteArray, int> requests_;
    QList<std::pair<QPointer<QTcpSocket>, ScriptedAnswer>> held_;
    bool gateOpen_ = false;
    int stalls_ = 0;
    QSslCertificate certificate_;
    QSslKey key_;
};

// A whole answer framed by Content-Length: the status, `extraHeaders` (lines with their CR LF)
// and the body.
QByteArray LengthAnswer(int status, const QByteArray& body, const QByteArray& extraHeaders = {});
// A 302 to `location`, with `body` as text.
QByteArray RedirectAnswer(const QByteArray& location, const QByteArray& body = {});
// A chunked answer with `body` in one chunk, with or without the last chunk that says the body
// is whole, and with the extra headers given.
QByteArray ChunkedAnswer(const QByteArray& body, bool lastChunk,
                         const QByteArray& extraHeaders = {});

}  // namespace kalvera::testing
