#include "version_banner.h"

#include "core/display_text.h"

namespace kalvera {
namespace {

// The first `characters` characters of UTF-8 text, and "…" when there were more.
std::string Elided(std::string text, std::size_t characters) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && seen++ == characters) {
            text.resize(i);
            text.append("\xE2\x80\xA6");
            break;
        }
    }
    return text;
}

}  // namespace

VersionBanner VersionCollector::Finish(const ScanSummary& scan) const {
    VersionBanner banner;
    banner.failure = scan.Failure();
    if (!banner.failure && found_) {
        banner.caption = "Database " + Elided(ToDisplayText(last_), kMaxBannerCharacters) + " WIB";
    }
    return banner;
}

VersionBanner QueryDatabaseVersion(const std::filesystem::path& callbook) {
    // Only lines that hold the marker are looked at; the last one counts.
    VersionCollector collector;
    const SubstringFinder marker{std::string(kVersionMarker)};
    const ScanSummary scan =
        ReadCallbookLinesContaining(callbook, marker, [&](std::string_view line) {
            collector.Take(line);
            return false;
        });
    return collector.Finish(scan);
}

}  // namespace kalvera
