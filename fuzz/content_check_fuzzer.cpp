// The download's content check must judge a body the same however the transfer cuts it.
//
// Input: a byte that seeds where the chunks are cut, a byte for the size limit (0: the real
// one, otherwise that many times 16 bytes), then the body.

#include <cstdint>
#include <random>
#include <string_view>

#include "fuzz_support.h"
#include "update/callbook_content_check.h"

namespace kalvera::fuzz {
namespace {

struct Judgement {
    ContentVerdict verdict;
    bool rejected;
};

Judgement FeedInChunks(std::string_view body, std::uint64_t limit, unsigned seed, bool bytewise) {
    CallbookContentCheck check(limit);
    std::minstd_rand random(seed + 1);
    bool rejected = false;
    while (!body.empty()) {
        const std::size_t length = bytewise ? 1 : std::min<std::size_t>(random() % 9, body.size());
        check.Feed(body.substr(0, length));
        body.remove_prefix(length);
        FUZZ_CHECK(!rejected || check.Rejected(), "a rejected body was accepted again");
        rejected = check.Rejected();
    }
    return {check.Verdict(), check.Rejected()};
}

}  // namespace
}  // namespace kalvera::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalvera;
    using namespace kalvera::fuzz;
    if (size < 2) {
        return 0;
    }
    const unsigned seed = data[0];
    const std::uint64_t limit = data[1] == 0 ? kMaxCallbookBytes : data[1] * std::uint64_t{16};
    const std::string_view body = Bytes(data + 2, size - 2);

    CallbookContentCheck whole(limit);
    whole.Feed(body);
    for (const bool bytewise : {false, true}) {
        const Judgement cut = FeedInChunks(body, limit, seed, bytewise);
        FUZZ_CHECK(cut.verdict == whole.Verdict() && cut.rejected == whole.Rejected(),
                   "fed %s: verdict %d rejected %d; whole: verdict %d rejected %d",
                   bytewise ? "bytewise" : "in chunks", int(cut.verdict), int(cut.rejected),
                   int(whole.Verdict()), int(whole.Rejected()));
    }
    return 0;
}
