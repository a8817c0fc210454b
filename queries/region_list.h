#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/callbook_reader.h"
#include "core/civil_date.h"

namespace kalvera {

// The region collection is bounded, so a strange file cannot exhaust memory at start-up.
// Past either limit no new region is taken; the regions already collected stay in order.
// A real chapter has a few hundred regencies and cities.
inline constexpr std::size_t kMaxRegions = 10000;
inline constexpr std::size_t kMaxRegionBytes = 1024 * 1024;

// Which limit left regions out of a list.
enum class RegionLimit {
    None,   // every region is in the list
    Count,  // kMaxRegions
    Text,   // kMaxRegionBytes
};

struct RegionList {
    // Distinct region fields in order of first appearance, bytes as stored (they are also
    // the keys of a listing). Letter case and blanks make entries distinct.
    std::vector<std::string> regions;
    // The limit that left the first region out, if one did.
    RegionLimit cutAt = RegionLimit::None;
    // Why the list is not whole. When reading failed part-way, the regions before are kept.
    std::optional<ReadFailure> failure;
};

// Builds a RegionList one line at a time, for passes that collect more than regions.
// A line with fewer than four fields carries the region of the line before it; lines before
// the first region carry the empty text, which thus becomes the first entry. A file without
// any line reads as one empty line and gives exactly one empty entry.
class RegionCollector {
  public:
    void Take(std::string_view line);
    // The list, given how the pass over the file ended.
    RegionList Finish(const ScanSummary& scan);

  private:
    struct TransparentHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };

    RegionList list_;
    std::unordered_set<std::string, TransparentHash, std::equal_to<>> seen_;
    std::size_t bytes_ = 0;
    std::string current_;
    bool sawLine_ = false;
    bool currentListed_ = false;
};

RegionList QueryRegions(const std::filesystem::path& callbook);

struct RegionListing {
    std::vector<std::string> rows;  // UTF-8
    std::optional<ReadFailure> failure;
};

// One row per member whose line contains `region` (letter case respected) and whose region
// field upper-cased equals it upper-cased: "callsign | name | address | region | number |
// date" and " | STATUS" when the member has a status.
RegionListing QueryRegionMembers(const std::filesystem::path& callbook, std::string_view region,
                                 CivilDate today = LocalToday());

// The same rows, handed over one at a time as the scan finds them, so memory does not grow
// with the number of members.
ScanSummary ForEachRegionMember(const std::filesystem::path& callbook, std::string_view region,
                                CivilDate today,
                                const std::function<void(const std::string& row)>& onRow);

// As above for a region that may be stored in more than one byte spelling (UTF-8 and
// Windows-1252, say): a line is listed once when it passes the key test with any of them.
ScanSummary ForEachRegionMember(const std::filesystem::path& callbook,
                                std::span<const std::string> spellings, CivilDate today,
                                const std::function<void(const std::string& row)>& onRow);

}  // namespace kalvera
