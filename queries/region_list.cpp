#include "region_list.h"

#include "core/callbook_record.h"
#include "core/displayed_member.h"

namespace kalvera {
namespace {

// The member's listing row when its region field passes the key test with `region`.
std::optional<std::string> RowIfInRegion(std::string_view line, std::string_view region,
                                         CivilDate today) {
    const CallbookRecord record = SplitRecord(line);
    if (!FieldMatchesKey(record, kRegion, region)) {
        return std::nullopt;
    }
    return ListingRow(DisplayMember(record, today));
}

}  // namespace

void RegionCollector::Take(std::string_view line) {
    sawLine_ = true;
    std::string_view region;
    // Most callbooks list members region by region, so the region seen last is checked
    // before the hash set.
    if (TryGetField(line, kRegion, region) && (region != current_ || !currentListed_)) {
        current_.assign(region);
        currentListed_ = false;
    }
    if (currentListed_) {
        return;
    }
    currentListed_ = true;
    if (seen_.find(std::string_view(current_)) != seen_.end()) {
        return;
    }
    if (list_.regions.size() >= kMaxRegions || current_.size() > kMaxRegionBytes - bytes_) {
        if (list_.cutAt == RegionLimit::None) {
            list_.cutAt =
                list_.regions.size() >= kMaxRegions ? RegionLimit::Count : RegionLimit::Text;
        }
        return;
    }
    bytes_ += current_.size();
    seen_.insert(current_);
    list_.regions.push_back(current_);
}

RegionList RegionCollector::Finish(const ScanSummary& scan) {
    list_.failure = scan.Failure();
    if (list_.failure && list_.failure->missing) {
        RegionList missing;
        missing.failure = list_.failure;
        return missing;
    }
    if (!list_.failure && !sawLine_) {
        Take("");
    }
    return std::move(list_);
}

RegionList QueryRegions(const std::filesystem::path& callbook) {
    RegionCollector collector;
    const ScanSummary scan = ReadCallbook(callbook, [&](std::string_view line) {
        collector.Take(line);
        return false;
    });
    return collector.Finish(scan);
}

ScanSummary ForEachRegionMember(const std::filesystem::path& callbook, std::string_view region,
                                CivilDate today,
                                const std::function<void(const std::string& row)>& onRow) {
    const SubstringFinder finder{std::string(region)};
    return ReadCallbookLinesContaining(callbook, finder, [&](std::string_view line) {
        if (const auto row = RowIfInRegion(line, region, today)) {
            onRow(*row);
        }
        return false;
    });
}

ScanSummary ForEachRegionMember(const std::filesystem::path& callbook,
                                std::span<const std::string> spellings, CivilDate today,
                                const std::function<void(const std::string& row)>& onRow) {
    if (spellings.size() == 1) {
        return ForEachRegionMember(callbook, spellings.front(), today, onRow);
    }
    return ReadCallbook(callbook, [&](std::string_view line) {
        for (const std::string& region : spellings) {
            if (line.find(region) == std::string_view::npos) {
                continue;
            }
            if (const auto row = RowIfInRegion(line, region, today)) {
                onRow(*row);
                break;
            }
        }
        return false;
    });
}

RegionListing QueryRegionMembers(const std::filesystem::path& callbook, std::string_view region,
                                 CivilDate today) {
    RegionListing listing;
    const ScanSummary scan = ForEachRegionMember(
        callbook, region, today, [&](const std::string& row) { listing.rows.push_back(row); });
    listing.failure = scan.Failure();
    return listing;
}

}  // namespace kalvera
