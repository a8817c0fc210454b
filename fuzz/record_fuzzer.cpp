// The record split and the key test against a plain model, and the search under both of its
// paths against a byte-by-byte one.
//
// Input: a byte whose value picks the field of the key test, a byte whose low four bits give
// the key's length, the key, then the line.

#include <cstdint>
#include <string>
#include <vector>

#include "core/callbook_record.h"
#include "core/substring_finder.h"
#include "fuzz_support.h"

namespace kalvera::fuzz {
namespace {

std::size_t NaiveFind(std::string_view text, std::string_view key, std::size_t from) {
    for (std::size_t start = from; start <= text.size() && text.size() - start >= key.size();
         ++start) {
        if (text.substr(start, key.size()) == key) {
            return start;
        }
    }
    return std::string_view::npos;
}

void CheckSearch(std::string_view text, std::string_view key) {
    for (const auto strategy :
         {SubstringFinder::Strategy::Fastest, SubstringFinder::Strategy::Memchr}) {
        const SubstringFinder finder{std::string(key), strategy};
        // Every start position on short texts; on long ones the ends and a sample between.
        const std::size_t step = text.size() < 300 ? 1 : text.size() / 97;
        for (std::size_t from = 0; from <= text.size() + 1; from += step) {
            FUZZ_CHECK(finder.Find(text, from) == NaiveFind(text, key, from),
                       "search (%s) for \"%s\" from %zu: %zu, expected %zu",
                       strategy == SubstringFinder::Strategy::Memchr ? "memchr" : "fastest",
                       Escaped(key).c_str(), from, finder.Find(text, from),
                       NaiveFind(text, key, from));
        }
        FUZZ_CHECK(finder.Find(text, text.size()) == NaiveFind(text, key, text.size()),
                   "search at the end");
    }
}

}  // namespace
}  // namespace kalvera::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalvera;
    using namespace kalvera::fuzz;
    if (size < 2) {
        return 0;
    }
    const std::size_t index = data[0] % 10;
    const std::size_t keyLength = std::min<std::size_t>(data[1] & 15, size - 2);
    const std::string_view key = Bytes(data + 2, keyLength);
    const std::string_view line = Bytes(data + 2 + keyLength, size - 2 - keyLength);

    const std::vector<std::string_view> model = SplitAt(line, kFieldSeparator);
    const CallbookRecord record = SplitRecord(line);
    FUZZ_CHECK(record.fields.size() == model.size(), "%zu fields, the model has %zu",
               record.fields.size(), model.size());
    for (std::size_t k = 0; k < model.size(); ++k) {
        const std::string_view field = record.fields[k];
        FUZZ_CHECK(field == model[k], "field %zu is \"%s\", the model has \"%s\"", k,
                   Escaped(field).c_str(), Escaped(model[k]).c_str());
        // The record's views point into the line, where the model's field stands.
        FUZZ_CHECK(field.data() == model[k].data(), "field %zu is not a view into the line", k);
    }
    for (std::size_t k = 0; k <= model.size() + 1; ++k) {
        const std::string_view expected = k < model.size() ? model[k] : std::string_view{};
        FUZZ_CHECK(record.Has(k) == (k < model.size()), "Has(%zu)", k);
        FUZZ_CHECK(record.Field(k) == expected, "Field(%zu)", k);
        std::string_view got = "untouched";
        const bool found = TryGetField(line, k, got);
        FUZZ_CHECK(found == (k < model.size()), "TryGetField(%zu) found %d of %zu fields", k,
                   int(found), model.size());
        FUZZ_CHECK(!found || got == expected, "TryGetField(%zu) is \"%s\", the model has \"%s\"", k,
                   Escaped(got).c_str(), Escaped(expected).c_str());
    }
    FUZZ_CHECK(record.Callsign() == record.Field(kCallsign) &&
                   record.Region() == record.Field(kRegion) &&
                   record.ValidUntil() == record.Field(kValidUntil) &&
                   record.Status() == record.Field(kStatus),
               "a named field differs from its index");

    // The key test's second half: the chosen field equals the key with both upper-cased. (The
    // first half, the raw line holding the key as typed, is the keyed pass's: reader target.)
    const bool fieldMatches = index < model.size() && UpperAscii(model[index]) == UpperAscii(key);
    FUZZ_CHECK(FieldMatchesKey(record, index, key) == fieldMatches,
               "FieldMatchesKey(field %zu, \"%s\") on \"%s\"", index, Escaped(key).c_str(),
               Escaped(line).c_str());

    CheckSearch(line, key);
    return 0;
}
