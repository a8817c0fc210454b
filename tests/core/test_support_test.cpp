// The test helpers themselves: a helper that cannot do its work fails the test that uses it.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_callbook.h"

namespace kalvera {
namespace {

using testing::TempFolder;

TEST(TempFolder, write_putsTheBytesExactly) {
    TempFolder folder;
    const std::string bytes("a\r\nb\0c\n", 7);
    std::ifstream in(folder.Write(bytes), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
}

TEST(TempFolder, writeThatFails_failsTheTest) {
    TempFolder folder;
    EXPECT_NONFATAL_FAILURE(folder.Write("versi: 1\r\n", "no-such-folder/log.txt"),
                            "cannot write 10 bytes");
}

}  // namespace
}  // namespace kalvera
