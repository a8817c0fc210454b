#include "callbook_record.h"

#include "ascii_case.h"

namespace kalvera {

CallbookRecord SplitRecord(std::string_view line) {
    CallbookRecord record;
    std::size_t start = 0;
    for (;;) {
        const std::size_t hash = line.find(kFieldSeparator, start);
        if (hash == std::string_view::npos) {
            record.fields.push_back(line.substr(start));
            return record;
        }
        record.fields.push_back(line.substr(start, hash - start));
        start = hash + 1;
    }
}

bool TryGetField(std::string_view line, std::size_t index, std::string_view& field) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t hash = line.find(kFieldSeparator, start);
        if (hash == std::string_view::npos) {
            return false;
        }
        start = hash + 1;
    }
    const std::size_t end = line.find(kFieldSeparator, start);
    field =
        line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    return true;
}

bool FieldMatchesKey(const CallbookRecord& record, std::size_t index, std::string_view key) {
    return record.Has(index) && EqualsUpperCased(record.fields[index], key);
}

}  // namespace kalvera
