#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kalvera {

// The largest callbook the program accepts; real ones are well under a megabyte.
inline constexpr std::uint64_t kMaxCallbookBytes = std::uint64_t{64} * 1024 * 1024;

enum class ContentVerdict {
    Plausible,
    Empty,
    TooLarge,
    ContainsNul,
    HtmlPage,
    NoCallbookLine,  // neither a member line nor a version line
};

// Judges a downloaded body while it streams in, without keeping it: whether it can be a
// callbook. Chunks may split lines, markers and the byte-order mark anywhere.
class CallbookContentCheck {
  public:
    explicit CallbookContentCheck(std::uint64_t maxBytes = kMaxCallbookBytes);

    void Feed(std::string_view chunk);

    // True once the body can no longer become a callbook, whatever follows; the transfer can
    // stop then.
    bool Rejected() const;
    // The judgement over everything fed so far, taken as the whole body.
    ContentVerdict Verdict() const;
    std::uint64_t Size() const { return size_; }

  private:
    enum class Sniff { ByteOrderMark, Blank, Tag, Done };

    void SniffByte(char c);
    void ScanLineByte(char c);

    std::uint64_t maxBytes_;
    std::uint64_t size_ = 0;
    bool tooLarge_ = false;
    bool nul_ = false;

    Sniff sniff_ = Sniff::ByteOrderMark;
    std::size_t bomMatched_ = 0;
    std::string tag_;
    bool html_ = false;

    bool callbookLine_ = false;
    std::size_t separatorsInLine_ = 0;
    std::size_t markerMatched_ = 0;
};

}  // namespace kalvera
