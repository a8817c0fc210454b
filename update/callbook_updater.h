#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "update/callbook_content_check.h"

namespace kalvera {

// Every download says here how it ended and why: "kalvera.update".
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)

// Where the chapter publishes its current callbook. Not configurable by users.
inline constexpr char kCallbookSourceUrl[] = "http://callbook.korawirasena.or.id/1028/log.txt";

struct DownloadTimeouts {
    std::chrono::milliseconds connect{15000};    // until the server answers at all
    std::chrono::milliseconds idle{30000};       // longest stretch without any data
    std::chrono::milliseconds deadline{120000};  // the whole transfer, redirects included
};

enum class DownloadOutcome {
    Installed,  // a complete, plausible callbook replaced the local file
    Failed,     // nothing changed on disk
    Cancelled,  // Cancel() or the application quitting ended it; nothing changed on disk
};

// Why a download did not install anything.
enum class DownloadFailure {
    None,                 // installed
    Busy,                 // another download was running
    UnsupportedSource,    // not an http or https URL
    Unreachable,          // no network, host unknown, connection refused
    ConnectTimeout,       // no answer within DownloadTimeouts::connect
    IdleTimeout,          // no data within DownloadTimeouts::idle
    DeadlineExceeded,     // not done within DownloadTimeouts::deadline
    HttpStatus,           // an answer other than 200 (DownloadResult::httpStatus)
    TooManyRedirects,     // a loop, or more hops than allowed
    RedirectToOtherHost,  // the callbook's source is fixed; another host is not it
    NetworkError,         // any other failure of the transfer or the protocol
    CutShort,             // the body ended before it was whole
    TooLarge,             // more than kMaxCallbookBytes, announced or sent
    Compressed,           // a content encoding other than identity
    NotCallbook,          // the body is not a callbook (DownloadResult::verdict)
    WriteFailed,          // the program folder took no temporary file, or the rename failed
    Cancelled,            // Cancel(), the updater destroyed or the application quitting
};

// Short English words for logs.
std::string_view Describe(DownloadFailure failure);

struct DownloadResult {
    DownloadFailure failure = DownloadFailure::None;
    int httpStatus = 0;  // of the final answer; 0 when none came
    // What the body received so far looked like (NotCallbook says why it is not one).
    ContentVerdict verdict = ContentVerdict::Empty;
    std::uint64_t bodyBytes = 0;

    DownloadOutcome Outcome() const;
};

// Fetches a callbook over HTTP and installs it over a local file only when it arrived whole
// and is a callbook (CallbookContentCheck); the old file is never touched otherwise.
// Redirects are followed only within the source's origin (scheme, host and port), five at most.
class CallbookUpdater : public QObject {
    Q_OBJECT
  public:
    explicit CallbookUpdater(QObject* parent = nullptr);
    // Safe in the middle of a Download (from inside its event loop): that Download then
    // returns Cancelled.
    ~CallbookUpdater() override;

    // Blocks the caller but not the window: waits in a local event loop, so the window keeps
    // painting. Returns at once with Busy while another download is running. Logs its end
    // to lcUpdate.
    DownloadResult Download(const QUrl& source, const QString& localFile);

    bool IsBusy() const;
    // Ends a running Download with Cancelled; harmless when none runs.
    void Cancel();

    void SetTimeouts(const DownloadTimeouts& timeouts);

  private:
    class Transfer;

    DownloadResult Fetch(const QUrl& source, const QString& localFile);

    DownloadTimeouts timeouts_;
    // Lives in the frame of the running Download, which outlives any use of this pointer.
    Transfer* running_ = nullptr;
};

}  // namespace kalvera
