#include "callbook_updater.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <memory>

namespace kalvera {

Q_LOGGING_CATEGORY(lcUpdate, "kalvera.update")

namespace {

constexpr int kMaxRedirects = 5;
constexpr int kHttpOk = 200;

bool IsRedirectStatus(int status) {
    return status >= 300 && status < 400;
}

int HttpStatus(const QNetworkReply& reply) {
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// The value the final response gave a header. After followed redirects Qt 6.4 at times keeps
// the headers of a redirect response and appends the final response's value after ", "
// (Content-Length "0, 161"), so only the last element can be the final response's own, and
// a header the final response lacks can still show the redirect's value.
QByteArray FinalHeader(const QNetworkReply& reply, const QByteArray& name) {
    const QByteArray raw = reply.rawHeader(name);
    const qsizetype comma = raw.lastIndexOf(", ");
    return (comma < 0 ? raw : raw.mid(comma + 2)).trimmed();
}

// The body length the final response announced, or -1 when it announced none.
qint64 DeclaredLength(const QNetworkReply& reply) {
    const QByteArray value = FinalHeader(reply, "Content-Length");
    bool ok = false;
    const qint64 length = value.toLongLong(&ok);
    return ok && length >= 0 ? length : -1;
}

bool IsHttp(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

DownloadFailure FailureOfError(QNetworkReply::NetworkError error, bool answered) {
    switch (error) {
        case QNetworkReply::NoError:
            return DownloadFailure::None;
        case QNetworkReply::HostNotFoundError:
        case QNetworkReply::ConnectionRefusedError:
        case QNetworkReply::NetworkSessionFailedError:
        case QNetworkReply::TemporaryNetworkFailureError:
        case QNetworkReply::UnknownNetworkError:
        case QNetworkReply::ProxyConnectionRefusedError:
        case QNetworkReply::ProxyNotFoundError:
            return DownloadFailure::Unreachable;
        case QNetworkReply::TooManyRedirectsError:
            return DownloadFailure::TooManyRedirects;
        case QNetworkReply::InsecureRedirectError:
            return DownloadFailure::RedirectToOtherHost;
        case QNetworkReply::RemoteHostClosedError:
            // After the answer's headers: the connection closed inside the body.
            return answered ? DownloadFailure::CutShort : DownloadFailure::NetworkError;
        default:
            return DownloadFailure::NetworkError;
    }
}

// The new callbook goes to a temporary file beside the old one and is renamed over it only
// by commit(); without the fallback a folder that allows no temporary file fails the
// download instead of writing straight over the callbook.
std::unique_ptr<QSaveFile> OpenTarget(const QString& localFile) {
    auto target = std::make_unique<QSaveFile>(localFile);
    target->setDirectWriteFallback(false);
    if (!target->open(QIODevice::WriteOnly)) {
        return nullptr;
    }
    return target;
}

// Renames the temporary file over the callbook when nothing failed; discards it otherwise.
DownloadResult Settle(QSaveFile& target, DownloadResult result) {
    if (result.failure != DownloadFailure::None) {
        target.cancelWriting();
        target.commit();
    } else if (!target.commit()) {
        result.failure = DownloadFailure::WriteFailed;
    }
    return result;
}

void Log(const QUrl& source, const DownloadResult& result) {
    const QString url = source.toDisplayString();
    switch (result.failure) {
        case DownloadFailure::None:
            qCInfo(lcUpdate).noquote() << "installed" << result.bodyBytes << "bytes from" << url;
            return;
        case DownloadFailure::Busy:
        case DownloadFailure::Cancelled:
            qCInfo(lcUpdate).noquote()
                << "download" << Describe(result.failure).data() << "from" << url;
            return;
        default:
            break;
    }
    QString why = QString::fromLatin1(Describe(result.failure).data());
    if (result.failure == DownloadFailure::HttpStatus) {
        why += QStringLiteral(" %1").arg(result.httpStatus);
    } else if (result.failure == DownloadFailure::NotCallbook) {
        why += QStringLiteral(" (%1)").arg(QLatin1String(Describe(result.verdict).data()));
    }
    qCWarning(lcUpdate).noquote() << "download failed:" << why << "after" << result.bodyBytes
                                  << "bytes from" << url;
}

}  // namespace

std::string_view Describe(DownloadFailure failure) {
    switch (failure) {
        case DownloadFailure::None:
            return "none";
        case DownloadFailure::Busy:
            return "refused while another runs";
        case DownloadFailure::UnsupportedSource:
            return "not an http or https URL";
        case DownloadFailure::Unreachable:
            return "server unreachable";
        case DownloadFailure::ConnectTimeout:
            return "no answer in time";
        case DownloadFailure::IdleTimeout:
            return "no data in time";
        case DownloadFailure::DeadlineExceeded:
            return "not done by the deadline";
        case DownloadFailure::HttpStatus:
            return "HTTP status";
        case DownloadFailure::TooManyRedirects:
            return "too many redirects";
        case DownloadFailure::RedirectToOtherHost:
            return "redirect to another host";
        case DownloadFailure::NetworkError:
            return "network error";
        case DownloadFailure::CutShort:
            return "cut short";
        case DownloadFailure::TooLarge:
            return "too large";
        case DownloadFailure::Compressed:
            return "compressed";
        case DownloadFailure::NotCallbook:
            return "not a callbook";
        case DownloadFailure::WriteFailed:
            return "could not write the callbook";
        case DownloadFailure::Cancelled:
            return "cancelled";
    }
    return "?";
}

DownloadOutcome DownloadResult::Outcome() const {
    switch (failure) {
        case DownloadFailure::None:
            return DownloadOutcome::Installed;
        case DownloadFailure::Cancelled:
            return DownloadOutcome::Cancelled;
        default:
            return DownloadOutcome::Failed;
    }
}

// One HTTP exchange, redirects included, from the request to the end of the body, feeding
// the body to the content check and the temporary file as it comes. Lives in the frame of
// Download: the updater only points at it while it runs, so an updater destroyed in the
// middle leaves nothing dangling.
class CallbookUpdater::Transfer {
  public:
    Transfer(const QUrl& source, const DownloadTimeouts& timeouts, QSaveFile& target)
        : timeouts_(timeouts), target_(target), source_(source) {
        watchdog_.setSingleShot(true);
        deadline_.setSingleShot(true);
    }
    ~Transfer() {
        if (reply_) {
            reply_->disconnect();
        }
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Returns when the transfer has ended. The updater that started it may be gone by then.
    void Run() {
        Start();
        if (!finished_ && !abandoned_) {
            loop_.exec();
        }
        watchdog_.stop();
        deadline_.stop();
        // The loop also ends without the reply when the application quits (quit() ends
        // nested loops too); the transfer is given up then.
        if (!finished_ && !abandoned_) {
            End(DownloadFailure::Cancelled);
        }
    }

    // A cancel wins over any other reason: the caller asked for it and is told so.
    void End(DownloadFailure why) {
        if (stop_ == DownloadFailure::None || why == DownloadFailure::Cancelled) {
            stop_ = why;
        }
        if (!reply_ || reply_->isFinished()) {
            return;
        }
        if (!draining_) {
            reply_->abort();
            return;
        }
        // Qt fails a reply with an error status by itself once it has read the body, and an
        // abort would make it report a second error. The reply is given up instead; deleting
        // it ends the exchange.
        abandoned_ = true;
        loop_.quit();
    }

    DownloadResult Result() const {
        DownloadResult result;
        result.failure = Judge();
        result.httpStatus = reply_ ? HttpStatus(*reply_) : 0;
        result.verdict = htmlByType_ ? ContentVerdict::HtmlPage : check_.Verdict();
        result.bodyBytes = check_.Size();
        return result;
    }

  private:
    void Start() {
        manager_ = std::make_unique<QNetworkAccessManager>();
        QNetworkRequest request(source_);
        // One manager per download, no cache: nothing carries over from an earlier one.
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        // Scheme, host and port stay those of the source: its host is the chapter's, and
        // nothing that a hotspot or a hijacked server points at elsewhere is fetched.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::SameOriginRedirectPolicy);
        request.setMaximumRedirectsAllowed(kMaxRedirects);
        // The bytes that arrive are the bytes that are checked and installed, and
        // Content-Length counts exactly them.
        request.setRawHeader("Accept-Encoding", "identity");

        reply_.reset(manager_->get(request));
        QNetworkReply* reply = reply_.get();
        QObject::connect(reply, &QNetworkReply::redirected, &loop_, [this] { OnRedirected(); });
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop_,
                         [this] { OnMetaDataChanged(); });
        QObject::connect(reply, &QNetworkReply::readyRead, &loop_, [this] { OnReadyRead(); });
        QObject::connect(reply, &QNetworkReply::finished, &loop_, [this] { OnFinished(); });
        QObject::connect(&watchdog_, &QTimer::timeout, &loop_, [this] {
            End(answered_ ? DownloadFailure::IdleTimeout : DownloadFailure::ConnectTimeout);
        });
        QObject::connect(&deadline_, &QTimer::timeout, &loop_,
                         [this] { End(DownloadFailure::DeadlineExceeded); });
        watchdog_.start(timeouts_.connect);
        deadline_.start(timeouts_.deadline);
    }

    // Only redirects that the policy allows get here.
    void OnRedirected() {
        ++redirects_;
        watchdog_.start(timeouts_.connect);
    }

    void OnMetaDataChanged() {
        const int status = HttpStatus(*reply_);
        // A redirect is followed, refused or ended by Qt as one too many. While Qt follows
        // one it can report the status 100 it resets to before the next headers come.
        if (status < kHttpOk || IsRedirectStatus(status)) {
            return;
        }
        answered_ = true;
        watchdog_.start(timeouts_.idle);
        if (status != kHttpOk) {
            // Qt ends it; its body is only drained.
            stop_ = stop_ == DownloadFailure::None ? DownloadFailure::HttpStatus : stop_;
            draining_ = true;
            return;
        }
        const DownloadFailure refused = RefusedByHeaders();
        if (refused != DownloadFailure::None) {
            End(refused);
        }
    }

    DownloadFailure RefusedByHeaders() {
        const QByteArray type = FinalHeader(*reply_, "Content-Type").toLower();
        if (type.startsWith("text/html") || type.startsWith("application/xhtml+xml")) {
            htmlByType_ = true;
            return DownloadFailure::NotCallbook;
        }
        const QByteArray encoding = FinalHeader(*reply_, "Content-Encoding").toLower();
        if (!encoding.isEmpty() && encoding != "identity") {
            return DownloadFailure::Compressed;
        }
        const qint64 length = DeclaredLength(*reply_);
        if (length >= 0 && static_cast<std::uint64_t>(length) > kMaxCallbookBytes) {
            return DownloadFailure::TooLarge;
        }
        return DownloadFailure::None;
    }

    void OnReadyRead() {
        if (IsRedirectStatus(HttpStatus(*reply_))) {
            reply_->readAll();  // the body of a redirect is not the callbook
            return;
        }
        watchdog_.start(timeouts_.idle);
        const QByteArray bytes = reply_->readAll();
        if (draining_) {
            drained_ += static_cast<std::uint64_t>(bytes.size());
            if (drained_ > kMaxCallbookBytes) {
                End(DownloadFailure::HttpStatus);
            }
            return;
        }
        Consume(bytes);
    }

    void OnFinished() {
        if (finished_) {
            return;
        }
        finished_ = true;
        watchdog_.stop();
        deadline_.stop();
        if (reply_->isOpen() && reply_->error() == QNetworkReply::NoError) {
            Consume(reply_->readAll());
        }
        loop_.quit();
    }

    void Consume(const QByteArray& bytes) {
        if (bytes.isEmpty() || stop_ != DownloadFailure::None) {
            return;
        }
        check_.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        if (check_.Rejected()) {
            End(check_.Verdict() == ContentVerdict::TooLarge ? DownloadFailure::TooLarge
                                                             : DownloadFailure::NotCallbook);
            return;
        }
        if (target_.write(bytes) != bytes.size()) {
            End(DownloadFailure::WriteFailed);
        }
    }

    // Why the finished transfer is not a callbook to install, or None.
    DownloadFailure Judge() const {
        if (stop_ != DownloadFailure::None) {
            return stop_;
        }
        // A redirect's status stays when Qt refuses to follow it.
        const int status = HttpStatus(*reply_);
        if (status != 0 && status != kHttpOk && !IsRedirectStatus(status)) {
            return DownloadFailure::HttpStatus;
        }
        if (reply_->error() != QNetworkReply::NoError) {
            return FailureOfError(reply_->error(), answered_);
        }
        if (status != kHttpOk) {
            return DownloadFailure::HttpStatus;  // a redirect without a place to go
        }
        // Qt frames the body by the final response's own Content-Length and reports a
        // connection closed before it as an error. The same check on our side needs headers
        // that no redirect response can have left behind.
        const qint64 length = DeclaredLength(*reply_);
        if (redirects_ == 0 && length >= 0 && static_cast<std::uint64_t>(length) != check_.Size()) {
            return DownloadFailure::CutShort;
        }
        // Without a length only the closed connection ended the body, and it may have closed
        // in the middle of a line. Chunks would tell, but Qt 6.4 at times takes a connection
        // closed between two chunks for the end of the body.
        if (length < 0 && !check_.EndsWithLineEnd()) {
            return DownloadFailure::CutShort;
        }
        switch (check_.Verdict()) {
            case ContentVerdict::Plausible:
                return DownloadFailure::None;
            case ContentVerdict::TooLarge:
                return DownloadFailure::TooLarge;
            default:
                return DownloadFailure::NotCallbook;
        }
    }

    const DownloadTimeouts timeouts_;
    QSaveFile& target_;
    const QUrl source_;
    CallbookContentCheck check_;
    QEventLoop loop_;
    QTimer watchdog_;  // the connect timeout until the answer's headers, then the idle one
    QTimer deadline_;
    std::unique_ptr<QNetworkAccessManager> manager_;
    std::unique_ptr<QNetworkReply> reply_;  // destroyed before its manager

    DownloadFailure stop_ = DownloadFailure::None;  // why the transfer was ended early
    bool answered_ = false;                         // the final answer's headers came
    bool finished_ = false;
    bool draining_ = false;  // the answer is an error; its body is read only to be dropped
    std::uint64_t drained_ = 0;
    bool abandoned_ = false;  // left running, to be deleted
    bool htmlByType_ = false;
    int redirects_ = 0;
};

CallbookUpdater::CallbookUpdater(QObject* parent) : QObject(parent) {}

CallbookUpdater::~CallbookUpdater() {
    Cancel();
}

bool CallbookUpdater::IsBusy() const {
    return running_ != nullptr;
}

void CallbookUpdater::Cancel() {
    if (running_ != nullptr) {
        running_->End(DownloadFailure::Cancelled);
    }
}

void CallbookUpdater::SetTimeouts(const DownloadTimeouts& timeouts) {
    timeouts_ = timeouts;
}

DownloadResult CallbookUpdater::Download(const QUrl& source, const QString& localFile) {
    // Fetch may return after this updater was destroyed: nothing here touches it afterwards.
    const DownloadResult result = Fetch(source, localFile);
    Log(source, result);
    return result;
}

DownloadResult CallbookUpdater::Fetch(const QUrl& source, const QString& localFile) {
    DownloadResult refused;
    if (running_ != nullptr) {
        refused.failure = DownloadFailure::Busy;
        return refused;
    }
    if (!source.isValid() || !IsHttp(source)) {
        refused.failure = DownloadFailure::UnsupportedSource;
        return refused;
    }
    const std::unique_ptr<QSaveFile> target = OpenTarget(localFile);
    if (!target) {
        refused.failure = DownloadFailure::WriteFailed;
        return refused;
    }
    Transfer transfer(source, timeouts_, *target);
    const QPointer<CallbookUpdater> self(this);
    running_ = &transfer;
    transfer.Run();
    if (self) {
        running_ = nullptr;
    }
    return Settle(*target, transfer.Result());
}

}  // namespace kalvera
