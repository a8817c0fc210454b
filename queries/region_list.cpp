#include "region_list.h"

#include <string_view>
#include <unordered_set>

#include "core/callbook_reader.h"
#include "core/callbook_record.h"
#include "core/display_text.h"
#include "core/membership_status.h"

namespace kalvera {
namespace {

struct TransparentHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

constexpr std::string_view kColumnSeparator = " | ";

std::string MemberRow(const CallbookRecord& record, CivilDate today) {
    std::string row;
    for (std::size_t i = 0; i < kValidUntil; ++i) {
        row.append(ToDisplayText(record.Field(i))).append(kColumnSeparator);
    }
    row.append(ToDisplayText(DisplayValidUntil(record.ValidUntil())));
    if (const auto status = ResolveStatus(record, today)) {
        row.append(kColumnSeparator).append(status->text);
    }
    return row;
}

}  // namespace

RegionList QueryRegions(const std::filesystem::path& callbook) {
    RegionList list;
    std::unordered_set<std::string, TransparentHash, std::equal_to<>> seen;
    std::string current;
    bool sawLine = false;
    // Most callbooks list members region by region, so the region seen last is checked
    // before the hash set.
    bool currentListed = false;
    const auto take = [&](std::string_view line) {
        sawLine = true;
        std::string_view region;
        if (TryGetField(line, kRegion, region) && (region != current || !currentListed)) {
            current.assign(region);
            currentListed = false;
        }
        if (!currentListed) {
            if (seen.find(std::string_view(current)) == seen.end()) {
                seen.insert(current);
                list.regions.push_back(current);
            }
            currentListed = true;
        }
        return false;
    };
    if (ReadCallbook(callbook, take) == ScanResult::FileMissing) {
        list.fileMissing = true;
        return list;
    }
    if (!sawLine) {
        take("");
    }
    return list;
}

bool ForEachRegionMember(const std::filesystem::path& callbook, std::string_view region,
                         CivilDate today,
                         const std::function<void(const std::string& row)>& onRow) {
    const SubstringFinder finder{std::string(region)};
    const ScanResult scan =
        ReadCallbookLinesContaining(callbook, finder, [&](std::string_view line) {
            const CallbookRecord record = SplitRecord(line);
            if (FieldMatchesKey(record, kRegion, region)) {
                onRow(MemberRow(record, today));
            }
            return false;
        });
    return scan != ScanResult::FileMissing;
}

bool ForEachRegionMember(const std::filesystem::path& callbook,
                         std::span<const std::string> spellings, CivilDate today,
                         const std::function<void(const std::string& row)>& onRow) {
    if (spellings.size() == 1) {
        return ForEachRegionMember(callbook, spellings.front(), today, onRow);
    }
    const ScanResult scan = ReadCallbook(callbook, [&](std::string_view line) {
        for (const std::string& region : spellings) {
            if (line.find(region) == std::string_view::npos) {
                continue;
            }
            const CallbookRecord record = SplitRecord(line);
            if (FieldMatchesKey(record, kRegion, region)) {
                onRow(MemberRow(record, today));
                break;
            }
        }
        return false;
    });
    return scan != ScanResult::FileMissing;
}

RegionListing QueryRegionMembers(const std::filesystem::path& callbook, std::string_view region,
                                 CivilDate today) {
    RegionListing listing;
    listing.fileMissing = !ForEachRegionMember(
        callbook, region, today, [&](const std::string& row) { listing.rows.push_back(row); });
    return listing;
}

}  // namespace kalvera
