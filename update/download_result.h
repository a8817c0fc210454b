#pragma once

#include <QMetaType>
#include <cstdint>
#include <string_view>

#include "update/callbook_content_check.h"

namespace kalvera {

enum class DownloadOutcome {
    Installed,  // a complete callbook replaced the local file
    Failed,     // nothing changed on disk
    Declined,   // the member chose to keep the installed callbook; nothing changed on disk
    Cancelled,  // Cancel(), the updater destroyed or the window closed; nothing changed on disk
};

// Why a download did not install anything.
enum class DownloadFailure {
    None,                 // installed
    UnsupportedSource,    // not an http or https URL
    Unreachable,          // no network, host unknown, connection refused
    ConnectTimeout,       // no answer within DownloadTimeouts::connect
    IdleTimeout,          // no data within DownloadTimeouts::idle
    DeadlineExceeded,     // not done within DownloadTimeouts::deadline
    HttpStatus,           // an answer other than 200 (DownloadResult::httpStatus)
    TooManyRedirects,     // a loop, or more hops than allowed
    RedirectToOtherHost,  // the callbook's source is fixed; another origin is not it
    BadCertificate,       // the https server's certificate does not check out
    NetworkError,         // the exchange failed before any answer, other than the above
    MalformedAnswer,      // a header section HTTP calls malformed: its framing is not to be read
    CutShort,             // the body ended before its framing said it was whole
    TooLarge,             // more than kMaxCallbookBytes, announced or sent
    Compressed,           // a content encoding other than identity
    NotCallbook,          // the body is not a callbook (DownloadResult::verdict)
    WriteFailed,          // the program folder or log.txt cannot be written
    DiskFull,             // no room on the disk (or quota) for the new callbook
    Declined,             // far fewer members than installed, and the member said no
    Cancelled,            // Cancel(), the updater destroyed or the window closed
};

// Short English words for logs.
std::string_view Describe(DownloadFailure failure);

struct DownloadResult {
    DownloadFailure failure = DownloadFailure::None;
    int httpStatus = 0;  // of the final answer; 0 when none came
    // What the body received so far looked like (NotCallbook says why it is not one).
    ContentVerdict verdict = ContentVerdict::Empty;
    std::uint64_t bodyBytes = 0;
    std::uint64_t newMembers = 0;        // member lines of the body received
    std::uint64_t installedMembers = 0;  // of log.txt, when the two were compared

    DownloadOutcome Outcome() const;
};

}  // namespace kalvera

Q_DECLARE_METATYPE(kalvera::DownloadResult)
Q_DECLARE_METATYPE(kalvera::DownloadOutcome)
