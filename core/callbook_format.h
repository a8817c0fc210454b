#pragma once

// The callbook file, log.txt: every fact of its format, in one place. The window's reader, the
// data keepers' check, the download's content check and the tool all take them from here, so
// that they cannot read one file in different ways.

#include <array>
#include <cstddef>
#include <string_view>

namespace kalvera {

// --- Text -------------------------------------------------------------------------------------

// A file that starts with one of these marks is text in that encoding, the mark not part of it.
// Without a mark the bytes are UTF-8 or Windows-1252 (the ANSI code page of Indonesian
// Windows), kept as they are.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
inline constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";  // Notepad's "Unicode"
inline constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

// --- Lines ------------------------------------------------------------------------------------

// What ends a line: LF, with every CR just before it (CR LF, CR CR LF), unless the text holds
// CRs but no LF at all, as old Mac editors save it: then each CR ends a line. A last line
// needs no line end; an empty text has no line.
enum class LineEnding { LineFeed, CarriageReturn };
inline constexpr char kLineFeed = '\n';
inline constexpr char kCarriageReturn = '\r';
// The byte that ends a line under `ending` (CRs before an LF aside).
constexpr char EndByteOf(LineEnding ending) {
    return ending == LineEnding::LineFeed ? kLineFeed : kCarriageReturn;
}

// No real line comes near this. A line whose text, without its line end, is longer is not a
// member, a region or a version line: readers skip it without keeping it, so memory stays
// bounded whatever a file holds.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

// Blanks: space, tab, CR, form feed and vertical tab. A line of blanks only is an empty line,
// and blanks around a callsign keep the window from finding it.
constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

// --- Member lines -----------------------------------------------------------------------------

// Fields are separated by '#', numbered from 0; a member line has these seven, and any further
// fields are ignored. A field cannot hold the separator.
inline constexpr char kFieldSeparator = '#';
enum CallbookField : std::size_t {
    kCallsign = 0,
    kName = 1,
    kAddress = 2,
    kRegion = 3,
    kMemberNumber = 4,
    kValidUntil = 5,
    kStatus = 6,
    kMemberFieldCount = 7,
};

// Every callsign of the chapter starts with this prefix; a user types only the suffix after it.
inline constexpr std::string_view kCallsignPrefix = "QV27";

// The shape of a callsign of any chapter: 1 to 4 letters, 1 to 4 digits, then up to 8 letters
// or digits starting with a letter, in any letter case ("QV27ABC", "YB0ZZ", "QV27É"). Letters
// are those of any script (IsLetter), as the window's search box takes them; digits are 0 to 9.
inline constexpr std::size_t kMaxCallsignLetters = 4;
inline constexpr std::size_t kMaxCallsignDigits = 4;
inline constexpr std::size_t kMaxCallsignSuffix = 8;

// Whether `field`, blanks around it aside, has the shape of a callsign. Its characters are read
// as the window shows them: UTF-8, or Windows-1252 when the field is not UTF-8. A shape, not a
// lookup: prose ("Catatan: kontak") is no callsign, nor is a word of five letters.
bool HasCallsignShape(std::string_view field);

// A member line, as the download and the start-up count them: its first field has the shape of
// a callsign, and it holds at least the separators of seven fields. (The data keepers' check
// takes every line with such a first field for a member line, and reports one with fewer
// fields.) A version line that happens to have this shape counts as a member line too.
bool IsMemberLine(std::string_view line);

// Field 5, valid until: a date written yyyy-mm-dd (ten characters: a four-digit year, a
// two-digit month and day), or one of these two words.
inline constexpr char kDateSeparator = '-';
inline constexpr std::size_t kDateLength = 10;
inline constexpr std::string_view kNoDate = "null";          // in any letter case: no date
inline constexpr std::string_view kZeroDate = "0000-00-00";  // exactly so: the zero date

// Field 6, the stored status word: one of these, in any letter case; any other text, empty or
// "null" included, means no stored status.
inline constexpr std::array<std::string_view, 4> kStatusWords = {
    "seumur hidup",  // lifetime
    "perpanjangan",  // renewal
    "baru",          // new
    "invalid",
};

// --- Version lines ----------------------------------------------------------------------------

// Any line that holds this marker (lower case, colon, blank; letter case respected) is a
// version line; the window shows the last one.
inline constexpr std::string_view kVersionMarker = "versi: ";

constexpr bool IsVersionLine(std::string_view line) {
    return line.find(kVersionMarker) != std::string_view::npos;
}

}  // namespace kalvera
