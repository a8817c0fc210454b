#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <functional>

namespace kalvera::testing {

// One answer, as the server writes it to the connection.
struct ScriptedAnswer {
    enum class Then {
        Close,  // closes the connection once everything has gone out
        Stall,  // sends nothing more and keeps the connection open while the server lives
        Drip,   // sends one byte of `drip` every 50 ms, round and round, until the client leaves
    };
    // Written first, as they stand: status line, header lines and as much body as given.
    QByteArray bytes = {};
    // The body's next piece once `streamed` bytes of it went out; empty when there is no more.
    // Asked for only as the connection takes data, so a body of any size is never held whole.
    std::function<QByteArray(qint64 streamed)> stream = {};
    Then then = Then::Close;
    QByteArray drip = {};
    // Begun only when OpenGate() lets it through.
    bool gated = false;
};

// An HTTP server on 127.0.0.1 that answers each request with the bytes scripted for its path,
// whatever they hold: the chapter's plain answers as well as those no HTTP server library
// sends (a chunked body without its last chunk, header lines HTTP forbids). A connection that
// opens with a TLS handshake is served over TLS on the same port, once ServeTls() has a
// certificate. Runs on the event loop of the test's own thread, the one the download runs on;
// each connection carries one request.
class ScriptedHttpServer : public QTcpServer {
  public:
    // Port 0: any free port of 127.0.0.1.
    explicit ScriptedHttpServer(quint16 port = 0);
    ~ScriptedHttpServer() override;
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    bool Listening() const { return isListening(); }
    // writePort false leaves the port out, for a server on port 80.
    QString Url(const QString& path, bool writePort = true) const;
    QString HttpsUrl(const QString& path) const;

    // What every request for `path` gets. Any other path gets 404.
    void Answer(const QByteArray& path, const QByteArray& response);
    void Answer(const QByteArray& path, const ScriptedAnswer& answer);
    // The first request for `path` gets the first answer, the second the next, and the last
    // answer every request after that.
    void AnswerInTurn(const QByteArray& path, const QList<ScriptedAnswer>& answers);

    // Serves TLS with the certificate and key in these PEM files; false when either is unusable.
    bool ServeTls(const QString& certificateFile, const QString& keyFile);

    // Requests that have arrived for `path`, answered yet or not.
    int Requests(const QByteArray& path) const { return requests_.value(path); }
    // Lets one gated answer begin: the one held longest, or else the next to come.
    void OpenGate();
    // Whether an answer has come to its stall.
    bool StallReached() const { return stallReached_; }
    // Bytes all dripping answers have sent so far.
    qint64 Dripped() const { return dripped_; }

  protected:
    void incomingConnection(qintptr descriptor) override;

  private:
    class Connection;
    void Serve(qintptr descriptor);
    void Read(Connection* connection);
    void Begin(Connection* connection);
    void Pump(Connection* connection);

    QHash<QByteArray, QList<ScriptedAnswer>> answers_;
    QHash<QByteArray, int> requests_;
    QSet<qintptr> unread_;  // accepted, their first byte not yet come
    QList<QPointer<Connection>> held_;
    int gatePasses_ = 0;
    bool stallReached_ = false;
    qint64 dripped_ = 0;
    QSslCertificate certificate_;
    QSslKey key_;
};

// A whole answer framed by Content-Length: the status, the Content-Type unless empty, then
// `extraHeaders` (lines with their CR LF) and the body.
QByteArray LengthAnswer(int status, const QByteArray& body, const QByteArray& type = "text/plain",
                        const QByteArray& extraHeaders = {});
// A 302 to `location`, with an empty body unless one is given.
QByteArray RedirectAnswer(const QByteArray& location, const QByteArray& body = {});
// The head of a 200 whose body only the closing connection ends.
QByteArray CloseFramedHead(const QByteArray& extraHeaders = {});
// A chunked answer whose chunks hold `body` in pieces that end at line ends, with or without
// the last chunk that says the body is whole, and with the extra headers given.
QByteArray ChunkedAnswer(const QByteArray& body, bool lastChunk,
                         const QByteArray& extraHeaders = {});

}  // namespace kalvera::testing
