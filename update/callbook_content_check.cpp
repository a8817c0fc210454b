#include "callbook_content_check.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/ascii_case.h"
#include "core/callbook_reader.h"
#include "core/callbook_record.h"

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

// True when no proper prefix of `text` is also its suffix. A partial match of such a marker
// that fails can only restart at the failing character, so no failure table is needed.
constexpr bool OverlapsNowhere(std::string_view text) {
    for (std::size_t length = 1; length < text.size(); ++length) {
        if (text.substr(0, length) == text.substr(text.size() - length)) {
            return false;
        }
    }
    return true;
}
static_assert(OverlapsNowhere(kVersionMarker), "the marker scan assumes no self-overlap");

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

void CallbookContentCheck::LineTally::Add(char c, std::uint32_t utf8Length) {
    if (heldCrs > 0) {
        // Not followed by an LF: data. A run of blanks acts as one, whatever its length.
        length += heldCrs;
        heldCrs = 0;
        StepCallsign('\r');
        markerMatched = 0;
    }
    length += utf8Length;
    overlong = overlong || length > kMaxLineBytes;
    nonBlank = nonBlank || !IsBlank(c);
    StepCallsign(c);
    if (c == kFieldSeparator && separators < kMemberSeparators) {
        ++separators;
    }
    if (!marker) {
        // The match survives chunk boundaries: only its length is kept.
        if (c == kVersionMarker[markerMatched]) {
            ++markerMatched;
        } else {
            markerMatched = c == kVersionMarker[0] ? 1 : 0;
        }
        marker = markerMatched == kVersionMarker.size();
    }
}

int CallbookContentCheck::LineTally::KindOfCurrent() const {
    if (!nonBlank) {
        return 0;
    }
    const bool member = callsign == Callsign::Yes && separators >= kMemberSeparators;
    return member || marker ? 1 : 2;
}

void CallbookContentCheck::LineTally::EndLine() {
    const int kind = KindOfCurrent();
    memberOrVersionLines += kind == 1 ? 1 : 0;
    oddLines += kind == 2 ? 1 : 0;
    const std::uint64_t tallied = memberOrVersionLines;
    const std::uint64_t odd = oddLines;
    const bool wasOverlong = overlong;
    *this = LineTally{};
    memberOrVersionLines = tallied;
    oddLines = odd;
    overlong = wasOverlong;
}

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
    while (encoding_ == Encoding::Undecided && !chunk.empty()) {
        DecideEncoding(static_cast<unsigned char>(chunk.front()));
        chunk.remove_prefix(1);
    }
    if (encoding_ == Encoding::EightBit) {
        FeedEightBit(chunk);
    } else {
        FeedUtf16(chunk);
    }
}

void CallbookContentCheck::DecideEncoding(unsigned char byte) {
    constexpr unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
    if (markBytes_ == 0 && (byte == 0xEF || byte == 0xFF || byte == 0xFE)) {
        markFirst_ = byte;
        markBytes_ = 1;
        return;
    }
    if (markBytes_ > 0 && markFirst_ == 0xEF && byte == kUtf8Mark[markBytes_]) {
        if (++markBytes_ == sizeof kUtf8Mark) {
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
    for (std::uint8_t i = 0; i < markBytes_; ++i) {
        Character(kOtherCharacter, 1);
    }
    const char c = static_cast<char>(byte);
    FeedEightBit(std::string_view(&c, 1));
}

void CallbookContentCheck::FeedEightBit(std::string_view bytes) {
    if (std::memchr(bytes.data(), '\0', bytes.size()) != nullptr) {
        nul_ = true;
        return;
    }
    for (const char c : bytes) {
        Character(c, 1);
    }
}

void CallbookContentCheck::FeedUtf16(std::string_view bytes) {
    const bool little = encoding_ == Encoding::Utf16Le;
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
            nul_ = true;
            return;
        }
        Character(unit < 0x80 ? static_cast<char>(unit) : kOtherCharacter, Utf8Length(unit));
    }
}

void CallbookContentCheck::Character(char c, std::uint32_t utf8Length) {
    if (chars_ < kHtmlSniffChars) {
        ++chars_;
        SniffHtml(c);
    }
    last_ = c;
    if (c == '\n') {
        lfSeen_ = true;
        byLf_.EndLine();
    } else if (c == '\r') {
        crSeen_ = true;
        byLf_.HoldCr();
        if (!lfSeen_) {
            byCr_.EndLine();
        }
    } else {
        byLf_.Add(c, utf8Length);
        if (!lfSeen_) {
            byCr_.Add(c, utf8Length);
        }
    }
}

void CallbookContentCheck::SniffHtml(char c) {
    const char lower = ToLowerAscii(c);
    if (tagMatched_ > 0) {
        std::uint8_t still = 0;
        for (std::size_t i = 0; i < kHtmlTags.size(); ++i) {
            const std::string_view tag = kHtmlTags[i];
            if ((tagCandidates_ >> i & 1u) != 0 && tag[tagMatched_] == lower) {
                if (tag.size() == tagMatched_ + 1u) {
                    html_ = true;
                }
                still |= static_cast<std::uint8_t>(1u << i);
            }
        }
        if (still != 0) {
            tagCandidates_ = still;
            ++tagMatched_;
            return;
        }
        tagMatched_ = 0;
    }
    if (c == '<') {
        tagMatched_ = 1;
        tagCandidates_ = kAllTags;
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
    const LineTally& lines = ChosenTally();
    const int last = lines.KindOfCurrent();
    const std::uint64_t good = lines.memberOrVersionLines + (last == 1 ? 1 : 0);
    const std::uint64_t odd = lines.oddLines + (last == 2 ? 1 : 0);
    if (good == 0) {
        return ContentVerdict::NoCallbookLine;
    }
    const std::uint64_t tolerated =
        std::max(kOddLinesAlwaysAllowed, (good + odd) * kOddLinesPerHundred / 100);
    if (odd > tolerated) {
        return ContentVerdict::TooManyOddLines;
    }
    return ContentVerdict::Plausible;
}

bool CallbookContentCheck::EndsWithLineEnd() const {
    if (encoding_ == Encoding::Undecided || halfUnit_ || Rejected()) {
        return false;
    }
    return lfSeen_ ? last_ == '\n' : last_ == '\r';
}

}  // namespace kalvera
