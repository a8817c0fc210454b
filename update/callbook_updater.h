#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "update/callbook_content_check.h"
#include "update/download_result.h"

namespace kalvera {

class HttpExchange;
class PendingCallbook;
struct HttpHead;
enum class HttpEnd;

// Every download says here how it ended and why: "kalvera.update".
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)

// Where the chapter publishes its current callbook. Not configurable by users.
inline constexpr char kCallbookSourceUrl[] = "http://callbook.korawirasena.or.id/1028/log.txt";

// At most this many redirects, each within the source's host (MayRedirect).
inline constexpr int kMaxRedirects = 5;

struct DownloadTimeouts {
    std::chrono::milliseconds connect{15000};    // until the server's answer has come
    std::chrono::milliseconds idle{30000};       // longest stretch without any data
    std::chrono::milliseconds deadline{120000};  // the whole transfer, redirects included
};

// What the member is asked before a callbook with far fewer members replaces theirs.
struct ShrinkQuestion {
    std::uint64_t newMembers = 0;
    std::uint64_t installedMembers = 0;
};

// True when a body with `newMembers` member lines must be confirmed before it replaces a
// callbook with `installedMembers`: it has fewer than half as many.
bool NeedsConfirmation(std::uint64_t newMembers, std::uint64_t installedMembers);

// Fetches a callbook over HTTP and installs it over a local file only when it arrived whole
// and is a callbook (CallbookContentCheck); the old file is never touched otherwise. Whole
// means what HTTP's framing proves: every chunk up to the last one, exactly Content-Length
// bytes, or, for a body framed only by the closing connection, text that ends with a line
// end; an answer whose framing HTTP calls malformed is refused unread. Redirects are followed
// only within the source's host (MayRedirect), kMaxRedirects at most: to http only on the
// source's own port, to https on 443 or that port, and from https only to https.
//
// Runs on the Qt event loop of the thread that owns it, without a nested loop: Start()
// returns at once and finished() tells the end; a question for the member, when one is
// needed, is a signal and its answer a call.
class CallbookUpdater : public QObject {
    Q_OBJECT
  public:
    explicit CallbookUpdater(QObject* parent = nullptr);
    // A running download ends at once, with nothing installed and no finished() signal.
    ~CallbookUpdater() override;

    // Starts fetching `source` for `localFile` (log.txt in the program folder). Returns false,
    // and nothing else happens, while another download runs. Otherwise finished() follows,
    // always from the event loop and never from inside Start: also for a source that is not
    // http or https, and for a folder that cannot be written, which fail before any request.
    bool Start(const QUrl& source, const QString& localFile);
    bool IsBusy() const;
    // Ends a running download, or one whose question stands: finished() reports Cancelled and
    // nothing is installed. Harmless when none runs.
    void Cancel();
    // The member's answer to confirmationNeeded: true installs, false declines. Ignored while
    // no question stands.
    void Answer(bool install);

    void SetTimeouts(const DownloadTimeouts& timeouts);
    // Trusts only the certificates in the PEM file `pemFile` instead of the system's roots:
    // for tests against a TLS server of their own. Empty: the system's again.
    void TrustOnlyForTesting(const QString& pemFile);

  signals:
    void finished(const kalvera::DownloadResult& result);
    // A complete callbook has far fewer members than the installed one (NeedsConfirmation).
    // The transfer is over; the callbook waits in its temporary file, however long, until
    // Answer() or Cancel(). Without a receiver such a callbook is declined at once.
    void confirmationNeeded(const kalvera::ShrinkQuestion& question);

  private:
    bool OnHead(const HttpHead& head);
    bool OnBody(std::string_view bytes);
    void OnEnd(HttpEnd end, const std::string& detail);
    bool StartExchange(const std::string& url);
    // Why the finished transfer is not a callbook to install, or None.
    DownloadFailure Judge(HttpEnd end) const;
    // Ends the transfer; then asks the member, or concludes at once.
    void Finish(DownloadFailure failure, const std::string& detail = {});
    // Ends the download: installs or discards, logs, and emits finished() from the loop.
    void Conclude(DownloadFailure failure, std::string detail);
    void Stop(DownloadFailure why);
    // Why writing failed, as the temporary file tells it.
    DownloadFailure WriteFailure() const;

    DownloadTimeouts timeouts_;
    std::string trusted_;

    // The running download; all reset by Start.
    bool busy_ = false;
    QUrl source_;
    QString localFile_;
    std::unique_ptr<HttpExchange> exchange_;
    std::unique_ptr<PendingCallbook> pending_;
    CallbookContentCheck check_;
    QTimer watchdog_;  // the connect timeout until the answer's headers, then the idle one
    QTimer deadline_;
    DownloadResult result_;
    DownloadFailure stop_ = DownloadFailure::None;  // why the transfer was ended early
    bool answered_ = false;                         // the final answer's headers came
    bool framedByClose_ = false;  // neither a length nor chunks: the close ends the body
    int redirects_ = 0;
    std::string current_;     // where the last hop led, the source first
    std::string redirectTo_;  // the next hop, once a 3xx answer was accepted
    bool asking_ = false;     // confirmationNeeded stands
    std::uint64_t generation_ = 0;
};

}  // namespace kalvera

Q_DECLARE_METATYPE(kalvera::ShrinkQuestion)
