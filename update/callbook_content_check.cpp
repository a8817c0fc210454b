#include "callbook_content_check.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/ascii_case.h"
#include "core/callbook_reader.h"
#include "core/callbook_record.h"
#include "core/display_text.h"

namespace kalvera {
namespace {

// A member line has at least this many separators.
constexpr std::uint8_t kMemberSeparators = kMemberFieldCount - 1;

constexpr std::array<std::string_view, 7> kHtmlTags = {
    "<html", "<head", "<body", "<title", "<script", "<style", "<!doctype",
};
constexpr std::uint8_t kAllTags = (1u << kHtmlTags.size()) - 1;

// A partial tag match that fails can only restart at a '<', never in its middle.
constexpr bool OnlyOpensWithAngle(std::string_view tag) {
    return tag.size() >= 2 && tag[0] == '<' && tag.substr(1).find('<') == std::string_view::npos;
}
static_assert(std::all_of(kHtmlTags.begin(), kHtmlTags.end(), OnlyOpensWithAngle));
static_assert(kHtmlTags.size() <= 8, "one bit per tag in a byte");

// A partial match of the marker that fails can only restart at the failing character, and
// a match cannot start inside another: its first character occurs nowhere else in it.
static_assert(kVersionMarker.find(kVersionMarker[0], 1) == std::string_view::npos);

// Any character outside ASCII, from a UTF-16 text, stands as this byte: none of the rules
// looks at such characters, only at whether they are blank, letters or digits (they are not).
constexpr char kOtherCharacter = '\x80';

constexpr std::uint8_t kMaxCallsignLetters = 4;
constexpr std::uint8_t kMaxCallsignDigits = 4;
constexpr std::uint8_t kMaxCallsignSuffix = 8;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where the first CR or LF is, or npos.
std::size_t FindLineEnd(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            return i;
        }
    }
    return std::string_view::npos;
}

std::uint32_t Utf8Length(std::uint16_t unit) {
    if (unit < 0x80) {
        return 1;
    }
    if (unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF)) {
        return 2;  // a surrogate is half of a four-byte character
    }
    return 3;
}

}  // namespace

std::string_view Describe(ContentVerdict verdict) {
    switch (verdict) {
        case ContentVerdict::Plausible:
            return "plausible";
        case ContentVerdict::Empty:
            return "empty";
        case ContentVerdict::TooLarge:
            return "too large";
        case ContentVerdict::ContainsNul:
            return "holds a NUL character";
        case ContentVerdict::HtmlPage:
            return "an HTML page";
        case ContentVerdict::LineTooLong:
            return "a line is too long";
        case ContentVerdict::BrokenUtf16:
            return "UTF-16 ending in half a character";
        case ContentVerdict::NoCallbookLine:
            return "no member or version line";
        case ContentVerdict::NoMemberLine:
            return "no member line";
        case ContentVerdict::TooManyOddLines:
            return "too many lines that are neither member nor version lines";
    }
    return "?";
}

void CallbookContentCheck::LineTally::StepCallsign(char c) {
    const bool blank = IsBlank(c);
    const bool letter = IsLetter(c);
    const bool digit = IsDigit(c);
    const bool end = c == kFieldSeparator;
    const auto enter = [this](Callsign next) {
        callsign = next;
        runLength = 1;
    };
    const auto extend = [this](std::uint8_t most) {
        callsign = ++runLength <= most ? callsign : Callsign::No;
    };
    switch (callsign) {
        case Callsign::Blanks:
            if (letter) {
                enter(Callsign::Letters);
            } else if (!blank) {
                callsign = Callsign::No;
            }
            return;
        case Callsign::Letters:
            if (letter) {
                extend(kMaxCallsignLetters);
            } else if (digit) {
                enter(Callsign::Digits);
            } else {
                callsign = Callsign::No;
            }
            return;
        case Callsign::Digits:
        case Callsign::Suffix:
            if (end) {
                callsign = Callsign::Yes;
            } else if (blank) {
                callsign = Callsign::Trailing;
            } else if (callsign == Callsign::Digits && digit) {
                extend(kMaxCallsignDigits);
            } else if (callsign == Callsign::Digits && letter) {
                enter(Callsign::Suffix);
            } else if (callsign == Callsign::Suffix && (letter || digit)) {
                extend(kMaxCallsignSuffix);
            } else {
                callsign = Callsign::No;
            }
            return;
        case Callsign::Trailing:
            if (end) {
                callsign = Callsign::Yes;
            } else if (!blank) {
                callsign = Callsign::No;
            }
            return;
        case Callsign::Yes:
        case Callsign::No:
            return;
    }
}

bool CallbookContentCheck::LineTally::IsMember() const {
    return callsign == Callsign::Yes && separators >= kMemberSeparators;
}

void CallbookContentCheck::LineTally::AddRun(std::string_view run) {
    std::size_t trailingCrs = 0;
    while (trailingCrs < run.size() && run[run.size() - 1 - trailingCrs] == '\r') {
        ++trailingCrs;
    }
    const std::string_view data = run.substr(0, run.size() - trailingCrs);
    if (data.empty()) {
        heldCrs += trailingCrs;
        return;
    }
    if (heldCrs > 0) {
        // Not followed by an LF: data. A run of blanks acts as one, whatever its length.
        length += heldCrs;
        StepCallsign('\r');
        markerMatched = 0;
    }
    heldCrs = trailingCrs;
    length += data.size();
    overlong = overlong || length > kMaxLineBytes;
    if (IsMember()) {
        return;  // a member line whatever else it holds
    }
    nonBlank =
        nonBlank || std::any_of(data.begin(), data.end(), [](char c) { return !IsBlank(c); });
    for (std::size_t i = 0;
         i < data.size() && callsign != Callsign::Yes && callsign != Callsign::No; ++i) {
        StepCallsign(data[i]);
    }
    for (std::size_t at = data.find(kFieldSeparator);
         at != std::string_view::npos && separators < kMemberSeparators;
         at = data.find(kFieldSeparator, at + 1)) {
        ++separators;
    }
    if (!marker && !IsMember()) {
        MatchMarker(data);
    }
}

// The marker may have begun in an earlier run and may go on in a later one; only the length
// of its partial match is kept.
void CallbookContentCheck::LineTally::MatchMarker(std::string_view data) {
    if (markerMatched > 0) {
        const std::string_view rest = kVersionMarker.substr(markerMatched);
        if (data.starts_with(rest)) {
            marker = true;
            return;
        }
        if (rest.starts_with(data)) {
            markerMatched = static_cast<std::uint8_t>(markerMatched + data.size());
            return;
        }
    }
    if (data.find(kVersionMarker) != std::string_view::npos) {
        marker = true;
        return;
    }
    markerMatched = 0;
    for (std::size_t partial = std::min(data.size(), kVersionMarker.size() - 1); partial > 0;
         --partial) {
        if (data.ends_with(kVersionMarker.substr(0, partial))) {
            markerMatched = static_cast<std::uint8_t>(partial);
            return;
        }
    }
}

CallbookContentCheck::LineKind CallbookContentCheck::LineTally::KindOfCurrent() const {
    if (!nonBlank) {
        return LineKind::Empty;
    }
    if (IsMember()) {
        return LineKind::Member;
    }
    return marker ? LineKind::Version : LineKind::Odd;
}

CallbookContentCheck::LineCounts CallbookContentCheck::LineTally::CountsWithCurrent() const {
    LineCounts with = counts;
    with.Add(KindOfCurrent());
    return with;
}

void CallbookContentCheck::LineCounts::Add(LineKind kind) {
    members += kind == LineKind::Member ? 1 : 0;
    versions += kind == LineKind::Version ? 1 : 0;
    odd += kind == LineKind::Odd ? 1 : 0;
}

void CallbookContentCheck::LineTally::EndLine() {
    const LineCounts tallied = CountsWithCurrent();
    const bool wasOverlong = overlong;
    *this = LineTally{};
    counts = tallied;
    overlong = wasOverlong;
}

CallbookContentCheck::CallbookContentCheck(std::uint64_t maxBytes) : maxBytes_(maxBytes) {}

void CallbookContentCheck::Feed(std::string_view chunk) {
    if (chunk.empty() || Rejected()) {
        return;
    }
    // The body is judged in stream order, the first fault deciding, so that the verdict does
    // not depend on where the chunks are cut: the bytes within the limit come first.
    const std::uint64_t room = maxBytes_ - size_;
    const std::string_view over = chunk.size() > room ? chunk.substr(room) : std::string_view{};
    chunk.remove_suffix(over.size());
    size_ += chunk.size();
    while (encoding_ == Encoding::Undecided && !chunk.empty() && !Rejected()) {
        DecideEncoding(static_cast<unsigned char>(chunk.front()));
        chunk.remove_prefix(1);
    }
    if (Rejected()) {
        return;
    }
    if (encoding_ == Encoding::EightBit) {
        const void* nul = std::memchr(chunk.data(), '\0', chunk.size());
        const std::size_t text =
            nul == nullptr ? chunk.size()
                           : static_cast<std::size_t>(static_cast<const char*>(nul) - chunk.data());
        FeedText(chunk.substr(0, text));
        if (nul != nullptr && !Rejected()) {
            nul_ = true;
        }
    } else {
        FeedUtf16(chunk);
    }
    if (!over.empty() && !Rejected()) {
        tooLarge_ = true;
        size_ += over.size();
    }
}

void CallbookContentCheck::DecideEncoding(unsigned char byte) {
    if (markBytes_ == 0 && (byte == 0xEF || byte == 0xFF || byte == 0xFE)) {
        markFirst_ = byte;
        markBytes_ = 1;
        return;
    }
    if (markBytes_ > 0 && markFirst_ == 0xEF &&
        byte == static_cast<unsigned char>(kUtf8ByteOrderMark[markBytes_])) {
        if (++markBytes_ == kUtf8ByteOrderMark.size()) {
            encoding_ = Encoding::EightBit;
        }
        return;
    }
    if (markBytes_ == 1 && markFirst_ == 0xFF && byte == 0xFE) {
        encoding_ = Encoding::Utf16Le;
        return;
    }
    if (markBytes_ == 1 && markFirst_ == 0xFE && byte == 0xFF) {
        encoding_ = Encoding::Utf16Be;
        return;
    }
    // No byte-order mark: what was held back is ordinary text outside ASCII.
    encoding_ = Encoding::EightBit;
    const char held[] = {kOtherCharacter, kOtherCharacter, kOtherCharacter};
    const char c = static_cast<char>(byte);
    FeedText(std::string_view(held, markBytes_));
    if (c == '\0') {
        nul_ = true;
        return;
    }
    FeedText(std::string_view(&c, 1));
}

void CallbookContentCheck::FeedUtf16(std::string_view bytes) {
    const bool little = encoding_ == Encoding::Utf16Le;
    // Three placeholder bytes at most per code unit.
    std::array<char, 3 * 1024> text;
    std::size_t used = 0;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!halfUnit_) {
            halfUnit_ = true;
            halfUnitByte_ = byte;
            continue;
        }
        halfUnit_ = false;
        const auto unit = static_cast<std::uint16_t>(little ? halfUnitByte_ | byte << 8
                                                            : halfUnitByte_ << 8 | byte);
        if (unit == 0) {
            FeedText(std::string_view(text.data(), used));
            nul_ = nul_ || !Rejected();
            return;
        }
        if (unit < 0x80) {
            text[used++] = static_cast<char>(unit);
        } else {
            for (std::uint32_t i = Utf8Length(unit); i > 0; --i) {
                text[used++] = kOtherCharacter;
            }
        }
        if (used + 3 > text.size()) {
            FeedText(std::string_view(text.data(), used));
            used = 0;
        }
    }
    FeedText(std::string_view(text.data(), used));
}

void CallbookContentCheck::FeedText(std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (sniffed_ < kHtmlSniffChars) {
        const std::size_t look = static_cast<std::size_t>(
            std::min<std::uint64_t>(text.size(), kHtmlSniffChars - sniffed_));
        SniffHtml(text.substr(0, look));
        sniffed_ += look;
    }
    last_ = text.back();
    while (!text.empty()) {
        if (lfSeen_) {
            // For good: lines end at LF.
            const auto* lf = static_cast<const char*>(std::memchr(text.data(), '\n', text.size()));
            if (lf == nullptr) {
                byLf_.AddRun(text);
                return;
            }
            const auto run = static_cast<std::size_t>(lf - text.data());
            byLf_.AddRun(text.substr(0, run));
            byLf_.EndLine();
            text.remove_prefix(run + 1);
            continue;
        }
        const std::size_t run = FindLineEnd(text);
        const std::string_view data = text.substr(0, run);
        byLf_.AddRun(data);
        byCr_.AddRun(data);
        if (run == std::string_view::npos) {
            return;
        }
        if (text[run] == '\n') {
            lfSeen_ = true;
            byLf_.EndLine();
        } else {
            crSeen_ = true;
            byLf_.AddRun("\r");
            byCr_.EndLine();
        }
        text.remove_prefix(run + 1);
    }
}

void CallbookContentCheck::SniffHtml(std::string_view text) {
    for (const char c : text) {
        const char lower = ToLowerAscii(c);
        if (tagMatched_ > 0) {
            std::uint8_t still = 0;
            for (std::size_t i = 0; i < kHtmlTags.size(); ++i) {
                const std::string_view tag = kHtmlTags[i];
                if ((tagCandidates_ >> i & 1u) != 0 && tag[tagMatched_] == lower) {
                    html_ = html_ || tag.size() == tagMatched_ + 1u;
                    still |= static_cast<std::uint8_t>(1u << i);
                }
            }
            if (still != 0) {
                tagCandidates_ = still;
                ++tagMatched_;
                continue;
            }
            tagMatched_ = 0;
        }
        if (c == '<') {
            tagMatched_ = 1;
            tagCandidates_ = kAllTags;
        }
    }
}

bool CallbookContentCheck::LineTooLong() const {
    // Lines end at CR only as long as no LF has come; the LF way's long "line" then does not
    // count yet.
    return byLf_.overlong && (lfSeen_ || byCr_.overlong);
}

const CallbookContentCheck::LineTally& CallbookContentCheck::ChosenTally() const {
    return !lfSeen_ && crSeen_ ? byCr_ : byLf_;
}

bool CallbookContentCheck::Rejected() const {
    return tooLarge_ || nul_ || html_ || LineTooLong();
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
    if (LineTooLong()) {
        return ContentVerdict::LineTooLong;
    }
    if (size_ == 0) {
        return ContentVerdict::Empty;
    }
    if (halfUnit_) {
        return ContentVerdict::BrokenUtf16;
    }
    const LineCounts lines = ChosenTally().CountsWithCurrent();
    const std::uint64_t good = lines.members + lines.versions;
    if (good == 0) {
        return ContentVerdict::NoCallbookLine;
    }
    const std::uint64_t tolerated =
        std::max(kOddLinesAlwaysAllowed, (good + lines.odd) * kOddLinesPerHundred / 100);
    if (lines.odd > tolerated) {
        return ContentVerdict::TooManyOddLines;
    }
    // A version line, a notice that mentions a version: not a callbook of any chapter.
    if (lines.members == 0) {
        return ContentVerdict::NoMemberLine;
    }
    return ContentVerdict::Plausible;
}

std::uint64_t CallbookContentCheck::MemberLines() const {
    return ChosenTally().CountsWithCurrent().members;
}

bool CallbookContentCheck::EndsWithLineEnd() const {
    if (encoding_ == Encoding::Undecided || halfUnit_ || Rejected()) {
        return false;
    }
    return lfSeen_ ? last_ == '\n' : last_ == '\r';
}

}  // namespace kalvera
