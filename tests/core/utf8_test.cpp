#include "core/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvera {
namespace {

TEST(Utf8, everyScalarValue_survivesTheRoundTrip) {
    for (char32_t code = 0; code <= 0x10FFFF; code += code < 0x800 ? 1 : 7) {
        if (code >= 0xD800 && code <= 0xDFFF) {
            continue;
        }
        std::string bytes;
        AppendUtf8(bytes, code);
        const auto decoded = DecodeUtf8(bytes, 0);
        ASSERT_TRUE(decoded) << std::hex << static_cast<unsigned>(code);
        EXPECT_EQ(static_cast<unsigned>(decoded->code), static_cast<unsigned>(code));
        EXPECT_EQ(decoded->length, bytes.size());
        EXPECT_TRUE(IsValidUtf8(bytes));
    }
}

TEST(Utf8, malformedSequences_areNoCharacter) {
    for (const std::string_view bad : {"\x80", "\xC0\xAF", "\xC3", "\xE0\x80\xAF", "\xED\xA0\x80",
                                       "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xE2\x82"}) {
        EXPECT_FALSE(DecodeUtf8(bad, 0)) << ::testing::PrintToString(bad);
        EXPECT_FALSE(IsValidUtf8(bad)) << ::testing::PrintToString(bad);
    }
    EXPECT_TRUE(IsValidUtf8("Ren\xC3\xA9 \xF0\x9F\x93\xBB"));
}

}  // namespace
}  // namespace kalvera
