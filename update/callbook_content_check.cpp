#include "callbook_content_check.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/ascii_case.h"

namespace kalvera {
namespace {

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

// Raw bytes decoded at a time, into a buffer of a fixed size.
constexpr std::size_t kPieceBytes = 16 * 1024;

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

void CallbookContentCheck::LineCounts::Add(LineKind kind) {
    members += kind == LineKind::Member ? 1 : 0;
    versions += kind == LineKind::Version ? 1 : 0;
    odd += kind == LineKind::Odd ? 1 : 0;
}

CallbookContentCheck::LineKind CallbookContentCheck::KindOf(std::string_view text) {
    if (std::all_of(text.begin(), text.end(), IsBlank)) {
        return LineKind::Empty;
    }
    if (IsMemberLine(text)) {
        return LineKind::Member;  // a member line whatever else it holds
    }
    return IsVersionLine(text) ? LineKind::Version : LineKind::Odd;
}

void CallbookContentCheck::Cut::Append(std::string_view text, const LineObserver& observer) {
    const LineEnding ending = splitter.Ending();
    splitter.Append(text, [&](const LineBlock& block) {
        for (std::uint64_t i = 0; i < block.droppedLines; ++i) {
            overlong = true;
            ++lines;
            if (observer) {
                observer(ending, CallbookLine{{}, lines, true});
            }
        }
        EachLineOf(block.text, ending, [&](const SplitLine& line) {
            ++lines;
            if (line.overlong) {
                overlong = true;
            } else {
                counts.Add(KindOf(line.text));
            }
            if (observer) {
                observer(ending, CallbookLine{line.text, lines, line.overlong});
            }
            return false;
        });
    });
}

CallbookContentCheck::CallbookContentCheck(std::uint64_t maxBytes)
    : maxBytes_(maxBytes),
      text_(TextDecoder::MaxTextBytes(kPieceBytes)),
      lastLine_(2 * kMaxLineBytes + 2 + TextDecoder::kMaxFinishBytes) {}

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
    while (!chunk.empty() && !Rejected()) {
        const std::string_view piece = chunk.substr(0, kPieceBytes);
        chunk.remove_prefix(piece.size());
        FeedText(std::string_view(text_.data(), decoder_.Decode(piece, text_.data())));
    }
    if (!over.empty() && !Rejected()) {
        tooLarge_ = true;
        size_ += over.size();
    }
}

void CallbookContentCheck::FeedText(std::string_view text) {
    // What stands before a NUL is judged first: an earlier fault outranks it.
    const void* nul = std::memchr(text.data(), '\0', text.size());
    if (nul != nullptr) {
        text =
            text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
    }
    if (!text.empty()) {
        if (sniffed_ < kHtmlSniffChars) {
            const std::size_t look = static_cast<std::size_t>(
                std::min<std::uint64_t>(text.size(), kHtmlSniffChars - sniffed_));
            SniffHtml(text.substr(0, look));
            sniffed_ += look;
        }
        last_ = text.back();
        if (!lfSeen_) {
            // Until the first LF the text may be cut by CR; from there on it is cut by LF.
            const std::size_t lf = text.find(kLineFeed);
            const std::string_view beforeLf = text.substr(0, lf);
            crSeen_ = crSeen_ || beforeLf.find(kCarriageReturn) != std::string_view::npos;
            byCr_.Append(beforeLf, observer_);
            lfSeen_ = lf != std::string_view::npos;
        }
        byLf_.Append(text, observer_);
    }
    if (nul != nullptr && !Rejected()) {
        nul_ = true;
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
    return byLf_.Overlong() && (lfSeen_ || byCr_.Overlong());
}

const CallbookContentCheck::Cut& CallbookContentCheck::ChosenCut() const {
    return !lfSeen_ && crSeen_ ? byCr_ : byLf_;
}

LineEnding CallbookContentCheck::Cutting() const {
    return ChosenCut().splitter.Ending();
}

std::optional<CallbookLine> CallbookContentCheck::LastLine() const {
    const Cut& cut = ChosenCut();
    const LineEnding ending = cut.splitter.Ending();
    const LineSplitter::Pending pending = cut.splitter.PendingLine();
    const CallbookLine overlong{{}, cut.lines + 1, true};
    if (pending.overlong) {
        return overlong;
    }
    char tail[TextDecoder::kMaxFinishBytes];
    const std::size_t tailBytes = decoder_.Tail(tail);
    if (tailBytes == 0) {
        if (pending.raw.empty()) {
            return std::nullopt;  // the text ends with a line end, or is empty
        }
        return CallbookLine{LineText(pending.raw, ending, nullptr), cut.lines + 1, false};
    }
    // What the decoder holds back ends the text: the CRs before it are data, not line end.
    if (pending.crsBeyondLimit) {
        return overlong;
    }
    std::memcpy(lastLine_.data(), pending.raw.data(), pending.raw.size());
    std::memcpy(lastLine_.data() + pending.raw.size(), tail, tailBytes);
    const std::string_view text(lastLine_.data(), pending.raw.size() + tailBytes);
    if (text.size() > kMaxLineBytes) {
        return overlong;
    }
    return CallbookLine{text, cut.lines + 1, false};
}

CallbookContentCheck::LineCounts CallbookContentCheck::CountsWithLastLine() const {
    LineCounts counts = ChosenCut().counts;
    if (const std::optional<CallbookLine> last = LastLine(); last && !last->overlong) {
        counts.Add(KindOf(last->text));
    }
    return counts;
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
    if (const std::optional<CallbookLine> last = LastLine();
        LineTooLong() || (last && last->overlong)) {
        return ContentVerdict::LineTooLong;
    }
    if (size_ == 0) {
        return ContentVerdict::Empty;
    }
    if (decoder_.HoldsHalfUnit()) {
        return ContentVerdict::BrokenUtf16;
    }
    const LineCounts lines = CountsWithLastLine();
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
    return CountsWithLastLine().members;
}

bool CallbookContentCheck::EndsWithLineEnd() const {
    if (!decoder_.Decided() || decoder_.HoldsBack() || Rejected()) {
        return false;
    }
    return lfSeen_ ? last_ == kLineFeed : last_ == kCarriageReturn;
}

}  // namespace kalvera
