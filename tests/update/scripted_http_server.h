#pragma once

#include <QByteArray>
#include <QHash>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>

namespace kalvera::testing {

// One answer, as the server writes it to the connection.
struct ScriptedAnswer {
    // Written as they stand: status line, header lines and as much body as given.
    QByteArray bytes = {};
    // Then sends nothing more and keeps the connection open while the server lives, instead of
    // closing it once everything has gone out.
    bool stall = false;
};

// An HTTP server on 127.0.0.1 that answers each request with the bytes scripted for its path,
// whatever they hold: the chapter's plain answers as well as those no HTTP server library
// sends (a chunked body without its last chunk, header lines HTTP forbids); over TLS once
// ServeTls() has a certificate. Runs on the event loop of the test's own thread, the one the
// download runs on; each connection carries one request.
class ScriptedHttpServer : public QTcpServer {
  public:
    // Listens on a free port of 127.0.0.1; ends the test run when it cannot.
    ScriptedHttpServer();

    // The address of `path` here, over http or, once ServeTls() has a certificate, https.
    QString Url(const QString& path, const QString& scheme = QStringLiteral("http")) const;

    // What every request for `path` gets. Any other path gets 404.
    void Answer(const QByteArray& path, const ScriptedAnswer& answer) { answers_[path] = answer; }
    // Serves TLS from now on, with the certificate and key in these PEM files; false when either
    // is unusable.
    bool ServeTls(const QString& certificateFile, const QString& keyFile);

    // Requests that have arrived for `path`, answered yet or not.
    int Requests(const QByteArray& path) const { return requests_.value(path); }
    // How many answers have come to their stall.
    int Stalls() const { return stalls_; }

  protected:
    void incomingConnection(qintptr descriptor) override;

  private:
    QHash<QByteArray, ScriptedAnswer> answers_;
    QHash<QByteArray, int> requests_;
    int stalls_ = 0;
    QSslCertificate certificate_;
    QSslKey key_;
};

// A whole answer framed by Content-Length: the status, `extraHeaders` (lines with their CR LF)
// and the body.
QByteArray LengthAnswer(int status, const QByteArray& body, const QByteArray& extraHeaders = {});
// A chunked answer with `body` in one chunk, with or without the last chunk that says the body
// is whole, and with the extra headers given.
QByteArray ChunkedAnswer(const QByteArray& body, bool lastChunk,
                         const QByteArray& extraHeaders = {});

}  // namespace kalvera::testing
