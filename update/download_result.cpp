#include "download_result.h"

namespace kalvera {

std::string_view Describe(DownloadFailure failure) {
    switch (failure) {
        case DownloadFailure::None:
            return "none";
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
        case DownloadFailure::BadCertificate:
            return "the server's certificate does not check out";
        case DownloadFailure::NetworkError:
            return "network error";
        case DownloadFailure::MalformedAnswer:
            return "a malformed answer";
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
        case DownloadFailure::DiskFull:
            return "the disk is full";
        case DownloadFailure::Declined:
            return "declined: far fewer members than installed";
        case DownloadFailure::Cancelled:
            return "cancelled";
    }
    return "?";
}

DownloadOutcome DownloadResult::Outcome() const {
    switch (failure) {
        case DownloadFailure::None:
            return DownloadOutcome::Installed;
        case DownloadFailure::Declined:
            return DownloadOutcome::Declined;
        case DownloadFailure::Cancelled:
            return DownloadOutcome::Cancelled;
        default:
            return DownloadOutcome::Failed;
    }
}

}  // namespace kalvera
