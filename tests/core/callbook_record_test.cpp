#include "core/callbook_record.h"

#include <gtest/gtest.h>

#include "core/callbook_path.h"
#include "support/temp_callbook.h"

namespace kalvera {
namespace {

TEST(SplitRecord, memberLine_givesTheSevenFieldsAsStored) {
    const auto record =
        SplitRecord("QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#perpanjangan");
    EXPECT_EQ(record.Callsign(), "QV27ABC");
    EXPECT_EQ(record.Address(), "Jl. Melati 7");
    EXPECT_EQ(record.Region(), "Kab. Contoh");
    EXPECT_EQ(record.ValidUntil(), "2026-01-31");
    EXPECT_EQ(record.Status(), "perpanjangan");
}

TEST(SplitRecord, adjacentSeparatorsAndExtraFields_arePreserved) {
    const auto record = SplitRecord("a##c#d#e#f#g#h#i");
    EXPECT_EQ(record.fields.size(), 9u);
    EXPECT_EQ(record.Name(), "");
    EXPECT_EQ(record.Status(), "g");
}

TEST(SplitRecord, shortLine_readsMissingFieldsAsEmpty) {
    const auto record = SplitRecord("versi: 2026-12-01 08:00");
    EXPECT_EQ(record.fields.size(), 1u);
    EXPECT_EQ(record.Region(), "");
    EXPECT_FALSE(record.Has(kRegion));
}

TEST(TryGetField, givesOneFieldOrNothing) {
    std::string_view field;
    ASSERT_TRUE(TryGetField("a#b#c#Kota#e", kRegion, field));
    EXPECT_EQ(field, "Kota");
    ASSERT_TRUE(TryGetField("a#b#c#", kRegion, field));
    EXPECT_EQ(field, "");
    EXPECT_FALSE(TryGetField("a#b#c", kRegion, field));
}

// The key test's second half; the first, the raw line holding the key as typed, is the
// keyed scan's (ReadCallbookLinesContaining).
TEST(FieldMatchesKey, wholeFieldWithoutCase_noTrimming) {
    EXPECT_TRUE(FieldMatchesKey(SplitRecord("QV27AB#x#y#z#1#null#"), kCallsign, "QV27AB"));
    EXPECT_TRUE(FieldMatchesKey(SplitRecord("qv27ab#x#y#z#1#null#"), kCallsign, "QV27AB"));
    EXPECT_FALSE(FieldMatchesKey(SplitRecord("QV27ABC#x#y#z#1#null#"), kCallsign, "QV27AB"));
    EXPECT_FALSE(FieldMatchesKey(SplitRecord("QV27XY#QV27AB#y#z#1#null#"), kCallsign, "QV27AB"));
    EXPECT_FALSE(FieldMatchesKey(SplitRecord("QV27AB "), kCallsign, "QV27AB"));
}

TEST(FieldMatchesKey, regionField_needsFourFields) {
    EXPECT_TRUE(FieldMatchesKey(SplitRecord("a#b#c#KOTA DUA#Kota Dua"), kRegion, "Kota Dua"));
    EXPECT_FALSE(FieldMatchesKey(SplitRecord("a#b#Kota Dua"), kRegion, "Kota Dua"));
    EXPECT_FALSE(FieldMatchesKey(SplitRecord("a#b#c#Kota Dua Raya"), kRegion, "Kota Dua"));
}

TEST(IsMemberLine, needsACallsignShapedFirstFieldAndSixSeparators) {
    EXPECT_TRUE(IsMemberLine("QV27ABC#Budi#Jl. Melati 7#Kab. Contoh#0412#2026-01-31#baru"));
    EXPECT_TRUE(IsMemberLine("qv27abc######"));
    EXPECT_TRUE(IsMemberLine("YB0ZZ#b#c#d#e#f#g"));
    EXPECT_FALSE(IsMemberLine("QV27ABC#b#c#d#e#f"));
    EXPECT_FALSE(IsMemberLine("QV27 ABC#b#c#d#e#f#g"));
    EXPECT_FALSE(IsMemberLine("QV27\xE2\x80\x94#b#c#d#e#f#g"));  // a dash is no letter
    EXPECT_FALSE(IsMemberLine("ABCDE1#b#c#d#e#f#g"));
    EXPECT_FALSE(IsMemberLine("QV27123456#b#c#d#e#f#g"));
    EXPECT_FALSE(IsMemberLine("#QV27ABC#c#d#e#f#g"));
    EXPECT_FALSE(IsMemberLine("Database versi: 2026-12-01"));
    EXPECT_FALSE(IsMemberLine(std::string_view("QV27\0ABC#b#c#d#e#f#g", 20)));
    EXPECT_FALSE(IsMemberLine(""));
}

TEST(CallbookExists, onlyARegularFileCounts) {
    testing::TempFolder folder;
    EXPECT_FALSE(CallbookExists(CallbookPath(folder.Path())));
    folder.Write("");
    EXPECT_TRUE(CallbookExists(CallbookPath(folder.Path())));

    testing::TempFolder other;
    std::filesystem::create_directory(CallbookPath(other.Path()));
    EXPECT_FALSE(CallbookExists(CallbookPath(other.Path())));
}

}  // namespace
}  // namespace kalvera
