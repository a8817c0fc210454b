#include "callbook_updater.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <string_view>

#include "update/callbook_content_check.h"

namespace kalvera {
namespace {

constexpr int kMaxRedirects = 5;
constexpr int kHttpOk = 200;

bool IsRedirectStatus(int status) {
    return status >= 300 && status < 400;
}

int HttpStatus(const QNetworkReply* reply) {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// The value the final response gave a header. After followed redirects Qt 6.4 at times keeps
// the headers of a redirect response and appends the final response's value after ", "
// (Content-Length "0, 161"), so only the last element can be the final response's own, and
// a header the final response lacks can still show the redirect's value.
QByteArray FinalHeader(const QNetworkReply* reply, const QByteArray& name) {
    const QByteArray raw = reply->rawHeader(name);
    const qsizetype comma = raw.lastIndexOf(", ");
    return (comma < 0 ? raw : raw.mid(comma + 2)).trimmed();
}

// The body length the final response announced, or -1 when it announced none.
qint64 DeclaredLength(const QNetworkReply* reply) {
    const QByteArray value = FinalHeader(reply, "Content-Length");
    bool ok = false;
    const qint64 length = value.toLongLong(&ok);
    return ok && length >= 0 ? length : -1;
}

// What ended a transfer before the reply finished on its own.
enum class Stop { None, Cancelled, TimedOut, Rejected, WriteFailed };

// Lives on the stack of Download; the updater only holds a pointer to it while it runs, so
// an updater destroyed in the middle of a download leaves nothing dangling behind.
struct Transfer {
    QPointer<QNetworkReply> reply;
    Stop stop = Stop::None;
    bool finished = false;
    // Given up without an abort, which Qt answers for a reply with an error status by reporting
    // a second error; deleting the reply ends it as well.
    bool abandoned = false;
    int redirects = 0;

    // A cancel wins over any other reason: the caller asked for it and is told so.
    void End(Stop why) {
        if (stop == Stop::None || why == Stop::Cancelled) {
            stop = why;
        }
        if (reply && !reply->isFinished()) {
            reply->abort();
        }
    }
};

}  // namespace

struct CallbookUpdater::Private {
    DownloadTimeouts timeouts;
    Transfer* running = nullptr;
};

CallbookUpdater::CallbookUpdater(QObject* parent) : QObject(parent), d_(new Private) {}

CallbookUpdater::~CallbookUpdater() {
    if (d_->running != nullptr) {
        d_->running->End(Stop::Cancelled);
    }
    delete d_;
}

bool CallbookUpdater::IsBusy() const {
    return d_->running != nullptr;
}

void CallbookUpdater::Cancel() {
    if (d_->running != nullptr) {
        d_->running->End(Stop::Cancelled);
    }
}

void CallbookUpdater::SetTimeouts(const DownloadTimeouts& timeouts) {
    d_->timeouts = timeouts;
}

DownloadOutcome CallbookUpdater::Download(const QUrl& source, const QString& localFile) {
    if (d_->running != nullptr) {
        return DownloadOutcome::Failed;
    }
    const QString scheme = source.scheme().toLower();
    if (!source.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return DownloadOutcome::Failed;
    }
    const DownloadTimeouts timeouts = d_->timeouts;

    CallbookContentCheck check;
    // The new callbook goes to a temporary file beside the old one and is renamed over it
    // only by commit(); without the fallback a folder that allows no temporary file fails
    // the download instead of writing straight over the callbook.
    QSaveFile file(localFile);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return DownloadOutcome::Failed;
    }

    // One manager per download: nothing (cache, cookies, connections) carries over.
    QNetworkAccessManager manager;
    QNetworkRequest request(source);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    // The bytes that arrive are the bytes that are checked and installed, and Content-Length
    // counts exactly them.
    request.setRawHeader("Accept-Encoding", "identity");

    QPointer<CallbookUpdater> self(this);
    Transfer transfer;
    QEventLoop loop;
    QTimer watchdog;
    watchdog.setSingleShot(true);

    std::uint64_t drained = 0;  // bytes of a rejected answer, read only to be dropped
    QNetworkReply* reply = manager.get(request);
    transfer.reply = reply;
    d_->running = &transfer;

    const auto consume = [&](const QByteArray& bytes) {
        if (bytes.isEmpty() || transfer.stop != Stop::None) {
            return;
        }
        check.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        if (check.Rejected()) {
            transfer.End(Stop::Rejected);
            return;
        }
        if (file.write(bytes) != bytes.size()) {
            transfer.End(Stop::WriteFailed);
        }
    };

    QObject::connect(&watchdog, &QTimer::timeout, &loop,
                     [&transfer] { transfer.End(Stop::TimedOut); });
    QObject::connect(reply, &QNetworkReply::redirected, &loop, [&watchdog, &timeouts, &transfer] {
        ++transfer.redirects;
        watchdog.start(timeouts.connect);
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const int status = HttpStatus(reply);
        if (IsRedirectStatus(status)) {
            return;  // the manager follows it, or fails with too many redirects
        }
        watchdog.start(timeouts.idle);
        if (status != kHttpOk) {
            // Qt ends a reply with an error status by itself; aborting it here would make it
            // report a second error. Its body is only drained.
            transfer.stop = Stop::Rejected;
            return;
        }
        const QByteArray type = FinalHeader(reply, "Content-Type").toLower();
        const QByteArray encoding = FinalHeader(reply, "Content-Encoding").toLower();
        const qint64 length = DeclaredLength(reply);
        if (type.startsWith("text/html") || type.startsWith("application/xhtml+xml") ||
            (!encoding.isEmpty() && encoding != "identity") ||
            (length >= 0 && static_cast<std::uint64_t>(length) > kMaxCallbookBytes)) {
            transfer.End(Stop::Rejected);
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        if (IsRedirectStatus(HttpStatus(reply))) {
            reply->readAll();  // the body of a redirect is not the callbook
            return;
        }
        watchdog.start(timeouts.idle);
        if (transfer.stop != Stop::None) {
            drained += reply->readAll().size();
            if (drained > kMaxCallbookBytes) {
                transfer.abandoned = true;
                loop.quit();
            }
            return;
        }
        consume(reply->readAll());
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
        watchdog.stop();
        if (transfer.stop == Stop::None && reply->isOpen() && HttpStatus(reply) == kHttpOk) {
            consume(reply->readAll());
        }
        transfer.finished = true;
        loop.quit();
    });

    watchdog.start(timeouts.connect);
    loop.exec();
    watchdog.stop();

    // The loop also ends without the reply when the application quits (quit() ends nested
    // loops too); the transfer is given up then.
    reply->disconnect(&loop);
    if (!transfer.finished && !transfer.abandoned) {
        transfer.End(Stop::Cancelled);
    }
    if (self) {
        d_->running = nullptr;
    }

    const auto fail = [&file](DownloadOutcome outcome) {
        file.cancelWriting();
        file.commit();  // discards the temporary file
        return outcome;
    };
    if (transfer.stop == Stop::Cancelled) {
        return fail(DownloadOutcome::Cancelled);
    }
    if (transfer.stop != Stop::None || reply->error() != QNetworkReply::NoError ||
        HttpStatus(reply) != kHttpOk) {
        return fail(DownloadOutcome::Failed);
    }
    // Qt frames the body by the final response's own Content-Length and reports a connection
    // closed before it as an error. The same check on our side needs headers that no
    // redirect response can have left behind.
    const qint64 length = DeclaredLength(reply);
    if (transfer.redirects == 0 && length >= 0 &&
        static_cast<std::uint64_t>(length) != check.Size()) {
        return fail(DownloadOutcome::Failed);
    }
    if (check.Verdict() != ContentVerdict::Plausible) {
        return fail(DownloadOutcome::Failed);
    }
    return file.commit() ? DownloadOutcome::Installed : DownloadOutcome::Failed;
}

}  // namespace kalvera
