#include "callbook_content_check.h"

#include <cstring>

#include "core/ascii_case.h"
#include "core/callbook_record.h"
#include "core/display_text.h"
#include "queries/version_banner.h"

namespace kalvera {
namespace {

// Error pages that arrive with status 200 (captive portals, hosting placeholders) begin so.
constexpr std::array<std::string_view, 2> kHtmlOpenings = {"<!doctype html", "<html"};

// A member line has at least this many separators.
constexpr std::size_t kMemberSeparators = kMemberFieldCount - 1;

// True when no proper prefix of `text` is also its suffix. A partial match of such a marker
// that fails can only restart at the failing byte, so no failure table is needed.
constexpr bool OverlapsNowhere(std::string_view text) {
    for (std::size_t length = 1; length < text.size(); ++length) {
        if (text.substr(0, length) == text.substr(text.size() - length)) {
            return false;
        }
    }
    return true;
}
static_assert(OverlapsNowhere(kVersionMarker), "the marker scan assumes no self-overlap");

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

}  // namespace

CallbookContentCheck::CallbookContentCheck(std::uint64_t maxBytes) : maxBytes_(maxBytes) {}

void CallbookContentCheck::Feed(std::string_view chunk) {
    if (chunk.empty() || Rejected()) {
        return;
    }
    if (chunk.size() > maxBytes_ - size_) {
        tooLarge_ = true;
        size_ += chunk.size();
        return;
    }
    size_ += chunk.size();
    if (std::memchr(chunk.data(), '\0', chunk.size()) != nullptr) {
        nul_ = true;
        return;
    }
    std::size_t i = 0;
    for (; i < chunk.size() && sniff_ != Sniff::Done; ++i) {
        SniffByte(chunk[i]);
        ScanLineByte(chunk[i]);
    }
    if (html_) {
        return;
    }
    for (; i < chunk.size() && !callbookLine_; ++i) {
        ScanLineByte(chunk[i]);
    }
}

void CallbookContentCheck::SniffByte(char c) {
    switch (sniff_) {
        case Sniff::ByteOrderMark:
            if (c == kUtf8ByteOrderMark[bomMatched_]) {
                if (++bomMatched_ == kUtf8ByteOrderMark.size()) {
                    sniff_ = Sniff::Blank;
                }
                return;
            }
            if (bomMatched_ > 0) {
                // Half a byte-order mark: not text that an HTML page starts with.
                sniff_ = Sniff::Done;
                return;
            }
            sniff_ = Sniff::Blank;
            [[fallthrough]];
        case Sniff::Blank:
            if (IsBlank(c)) {
                return;
            }
            sniff_ = Sniff::Tag;
            [[fallthrough]];
        case Sniff::Tag: {
            tag_.push_back(ToLowerAscii(c));
            bool stillPossible = false;
            for (std::string_view opening : kHtmlOpenings) {
                if (opening == tag_) {
                    html_ = true;
                    sniff_ = Sniff::Done;
                    return;
                }
                stillPossible = stillPossible || opening.starts_with(tag_);
            }
            if (!stillPossible) {
                sniff_ = Sniff::Done;
                tag_.clear();
            }
            return;
        }
        case Sniff::Done:
            return;
    }
}

void CallbookContentCheck::ScanLineByte(char c) {
    if (callbookLine_) {
        return;
    }
    if (c == '\n') {
        separatorsInLine_ = 0;
        markerMatched_ = 0;
        return;
    }
    if (c == kFieldSeparator && ++separatorsInLine_ >= kMemberSeparators) {
        callbookLine_ = true;
        return;
    }
    // The match survives chunk boundaries: only its length is kept.
    if (c == kVersionMarker[markerMatched_]) {
        ++markerMatched_;
    } else {
        markerMatched_ = c == kVersionMarker[0] ? 1 : 0;
    }
    if (markerMatched_ == kVersionMarker.size()) {
        callbookLine_ = true;
    }
}

bool CallbookContentCheck::Rejected() const {
    return tooLarge_ || nul_ || html_;
}

ContentVerdict CallbookContentCheck::Verdict() const {
    if (tooLarge_) {
        return ContentVerdict::TooLarge;
    }
    if (nul_) {
        return ContentVerdict::ContainsNul;
    }
    if (html_) {
        return ContentVerdict::HtmlPage;
    }
    if (size_ == 0) {
        return ContentVerdict::Empty;
    }
    if (!callbookLine_) {
        return ContentVerdict::NoCallbookLine;
    }
    return ContentVerdict::Plausible;
}

}  // namespace kalvera
