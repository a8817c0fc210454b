#include "callbook_updater.h"

#include <QMetaMethod>
#include <algorithm>
#include <cctype>

#include "http_exchange.h"
#include "http_url.h"
#include "pending_callbook.h"

namespace kalvera {

Q_LOGGING_CATEGORY(lcUpdate, "kalvera.update")

namespace {

constexpr int kHttpOk = 200;

bool IsRedirectStatus(int status) {
    return status >= 300 && status < 400;
}

bool IsHttp(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void Log(const QUrl& source, const DownloadResult& result, const std::string& detail) {
    const QString url = source.toDisplayString();
    switch (result.failure) {
        case DownloadFailure::None:
            qCInfo(lcUpdate).noquote() << "installed" << result.bodyBytes << "bytes,"
                                       << result.newMembers << "members, from" << url;
            return;
        case DownloadFailure::Cancelled:
            qCInfo(lcUpdate).noquote() << "download cancelled from" << url;
            return;
        case DownloadFailure::Declined:
            qCInfo(lcUpdate).noquote()
                << "download declined:" << result.newMembers << "members against"
                << result.installedMembers << "installed, from" << url;
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
    if (!detail.empty()) {
        why += QStringLiteral(" [%1]").arg(QString::fromStdString(detail));
    }
    qCWarning(lcUpdate).noquote() << "download failed:" << why << "after" << result.bodyBytes
                                  << "bytes from" << url;
}

}  // namespace

bool NeedsConfirmation(std::uint64_t newMembers, std::uint64_t installedMembers) {
    return newMembers * 2 < installedMembers;
}

CallbookUpdater::CallbookUpdater(QObject* parent) : QObject(parent) {
    qRegisterMetaType<kalvera::DownloadResult>();
    qRegisterMetaType<kalvera::ShrinkQuestion>();
    // Coarse timers may fire up to 5% early: a 2-minute deadline would end at 114 s.
    for (QTimer* timer : {&watchdog_, &deadline_}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&watchdog_, &QTimer::timeout, this, [this] {
        Stop(answered_ ? DownloadFailure::IdleTimeout : DownloadFailure::ConnectTimeout);
    });
    connect(&deadline_, &QTimer::timeout, this,
            [this] { Stop(DownloadFailure::DeadlineExceeded); });
}

CallbookUpdater::~CallbookUpdater() {
    // The exchange goes first: it may still call into this updater until it is gone.
    exchange_.reset();
    pending_.reset();
}

bool CallbookUpdater::IsBusy() const {
    return busy_;
}

void CallbookUpdater::SetTimeouts(const DownloadTimeouts& timeouts) {
    timeouts_ = timeouts;
}

void CallbookUpdater::TrustOnlyForTesting(const QString& pemFile) {
    // UTF-8 everywhere: libcurl's Schannel reads the name as UTF-8, and Qt names files on
    // the other systems in UTF-8.
    trusted_ = pemFile.toStdString();
}

bool CallbookUpdater::Start(const QUrl& source, const QString& localFile) {
    if (busy_) {
        return false;
    }
    busy_ = true;
    ++generation_;
    source_ = source;
    localFile_ = localFile;
    check_ = CallbookContentCheck();
    result_ = DownloadResult{};
    stop_ = DownloadFailure::None;
    answered_ = false;
    framedByClose_ = false;
    redirects_ = 0;
    current_ = source.toString(QUrl::FullyEncoded).toStdString();
    redirectTo_.clear();
    asking_ = false;

    if (!source.isValid() || !IsHttp(source)) {
        Finish(DownloadFailure::UnsupportedSource);
        return true;
    }
    // What downloads killed midway left; a live one's file, in another window, is spared.
    RemoveLeftovers(localFile);
    pending_ = std::make_unique<PendingCallbook>(localFile);
    if (!pending_->Open()) {
        Finish(WriteFailure(), pending_->ErrorText().toStdString());
        return true;
    }
    deadline_.start(timeouts_.deadline);
    if (!StartExchange(current_)) {
        Finish(DownloadFailure::NetworkError, "the transfer could not be set up");
    }
    return true;
}

bool CallbookUpdater::StartExchange(const std::string& url) {
    HttpExchange::Handlers handlers;
    handlers.head = [this](const HttpHead& head) { return OnHead(head); };
    handlers.body = [this](std::string_view bytes) { return OnBody(bytes); };
    handlers.end = [this](HttpEnd end, const std::string& detail) { OnEnd(end, detail); };
    exchange_ = std::make_unique<HttpExchange>(std::move(handlers));
    watchdog_.start(timeouts_.connect);
    return exchange_->Start(url, HttpOptions{trusted_});
}

void CallbookUpdater::Cancel() {
    if (asking_) {
        asking_ = false;
        Conclude(DownloadFailure::Cancelled, {});
        return;
    }
    Stop(DownloadFailure::Cancelled);
}

void CallbookUpdater::Answer(bool install) {
    if (!asking_) {
        return;
    }
    asking_ = false;
    Conclude(install ? DownloadFailure::None : DownloadFailure::Declined, {});
}

void CallbookUpdater::Stop(DownloadFailure why) {
    if (!busy_ || !exchange_) {
        return;  // nothing running, or only its end is on its way
    }
    exchange_->Abort();
    Finish(why);
}

DownloadFailure CallbookUpdater::WriteFailure() const {
    return pending_->Problem() == WriteProblem::DiskFull ? DownloadFailure::DiskFull
                                                         : DownloadFailure::WriteFailed;
}

bool CallbookUpdater::OnHead(const HttpHead& head) {
    result_.httpStatus = head.status;
    if (IsRedirectStatus(head.status)) {
        // Followed by hand, so that the host stays the source's: nothing a hotspot or a
        // hijacked server points at elsewhere is fetched.
        if (head.redirectUrl.empty()) {
            stop_ = DownloadFailure::HttpStatus;
        } else if (redirects_ >= kMaxRedirects) {
            stop_ = DownloadFailure::TooManyRedirects;
        } else if (!MayRedirect(current_, head.redirectUrl)) {
            stop_ = DownloadFailure::RedirectToOtherHost;
        } else {
            redirectTo_ = head.redirectUrl;
        }
        return false;  // the redirect's own body is not wanted
    }
    if (head.status != kHttpOk) {
        stop_ = DownloadFailure::HttpStatus;
        return false;
    }
    answered_ = true;
    watchdog_.start(timeouts_.idle);
    const std::string type = Lower(head.contentType);
    if (type.starts_with("text/html") || type.starts_with("application/xhtml+xml")) {
        result_.verdict = ContentVerdict::HtmlPage;
        stop_ = DownloadFailure::NotCallbook;
        return false;
    }
    const std::string encoding = Lower(head.contentEncoding);
    if (!encoding.empty() && encoding != "identity") {
        stop_ = DownloadFailure::Compressed;
        return false;
    }
    if (head.contentLength >= 0 &&
        static_cast<std::uint64_t>(head.contentLength) > kMaxCallbookBytes) {
        stop_ = DownloadFailure::TooLarge;
        return false;
    }
    framedByClose_ = !head.chunked && head.contentLength < 0;
    return true;
}

bool CallbookUpdater::OnBody(std::string_view bytes) {
    watchdog_.start(timeouts_.idle);
    check_.Feed(bytes);
    if (check_.Rejected()) {
        stop_ = check_.Verdict() == ContentVerdict::TooLarge ? DownloadFailure::TooLarge
                                                             : DownloadFailure::NotCallbook;
        return false;
    }
    if (!pending_->Write(bytes)) {
        stop_ = WriteFailure();
        return false;
    }
    return true;
}

void CallbookUpdater::OnEnd(HttpEnd end, const std::string& detail) {
    if (!redirectTo_.empty()) {
        ++redirects_;
        current_ = std::move(redirectTo_);
        redirectTo_.clear();
        if (!StartExchange(current_)) {
            Finish(DownloadFailure::NetworkError, "the transfer could not be set up");
        }
        return;
    }
    const DownloadFailure failure = Judge(end);
    const bool writing =
        failure == DownloadFailure::WriteFailed || failure == DownloadFailure::DiskFull;
    Finish(failure, failure == DownloadFailure::None ? std::string()
                    : writing                        ? pending_->ErrorText().toStdString()
                                                     : detail);
}

DownloadFailure CallbookUpdater::Judge(HttpEnd end) const {
    if (stop_ != DownloadFailure::None) {
        return stop_;
    }
    switch (end) {
        case HttpEnd::Complete:
            break;
        case HttpEnd::Unreachable:
            return DownloadFailure::Unreachable;
        case HttpEnd::Partial:
            return DownloadFailure::CutShort;
        case HttpEnd::Malformed:
            return DownloadFailure::MalformedAnswer;
        case HttpEnd::BadCertificate:
            return DownloadFailure::BadCertificate;
        case HttpEnd::Stopped:
        case HttpEnd::Failed:
            // Once the answer came, a failing connection has cut its body short.
            return answered_ ? DownloadFailure::CutShort : DownloadFailure::NetworkError;
    }
    if (!answered_) {
        return DownloadFailure::NetworkError;
    }
    // Only the closed connection ended the body, and it may have closed mid-line.
    if (framedByClose_ && !check_.EndsWithLineEnd()) {
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

void CallbookUpdater::Finish(DownloadFailure failure, const std::string& detail) {
    watchdog_.stop();
    deadline_.stop();
    exchange_.reset();
    if (result_.verdict != ContentVerdict::HtmlPage) {  // refused by its type, unread
        result_.verdict = check_.Verdict();
    }
    result_.bodyBytes = check_.Size();
    result_.newMembers = check_.MemberLines();
    if (failure == DownloadFailure::None) {
        result_.installedMembers = CountMembers(localFile_);
        if (NeedsConfirmation(result_.newMembers, result_.installedMembers)) {
            if (!isSignalConnected(QMetaMethod::fromSignal(&CallbookUpdater::confirmationNeeded))) {
                failure = DownloadFailure::Declined;
            } else {
                // From the event loop, as finished() is: the receiver may show a box, answer at
                // once or destroy this updater.
                asking_ = true;
                const ShrinkQuestion question{result_.newMembers, result_.installedMembers};
                QTimer::singleShot(0, this, [this, question, generation = generation_] {
                    if (asking_ && generation == generation_) {
                        emit confirmationNeeded(question);
                    }
                });
                return;
            }
        }
    }
    Conclude(failure, detail);
}

void CallbookUpdater::Conclude(DownloadFailure failure, std::string detail) {
    if (failure == DownloadFailure::None && !pending_->Install()) {
        failure = WriteFailure();
        detail = pending_->ErrorText().toStdString();
    }
    pending_.reset();  // removes the temporary file unless it was installed
    result_.failure = failure;
    Log(source_, result_, detail);
    // From the event loop, so that a listener may start the next download or destroy this
    // updater; busy until then, so that no other download starts in between.
    QTimer::singleShot(0, this, [this, result = result_, generation = generation_] {
        if (generation != generation_) {
            return;
        }
        busy_ = false;
        emit finished(result);
    });
}

}  // namespace kalvera
