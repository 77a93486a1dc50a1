#include "core/cipher/KeyShift.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace voxilo {
namespace {

// Ciphertext made with one table reads back only with the same table: ours is fixed for good.
// It uses each non-zero shift from -5 to +20 once.
TEST(KeyShift, KeepsItsTableForGood) {
    const std::vector<int> table = {7, -3, 15, 2,  -5, 11, 19, 4,  -1, 13, 8,  20, -4,
                                    6, 17, 1,  10, -2, 14, 5,  18, 9,  3,  16, 12};
    std::vector<int> shifts;
    for (std::int16_t code = 1; code <= 25; ++code) shifts.push_back(keyShift(code));
    EXPECT_EQ(shifts, table);
    std::sort(shifts.begin(), shifts.end());
    std::vector<int> expected;
    for (int s = -5; s <= 20; ++s) {
        if (s != 0) expected.push_back(s);
    }
    EXPECT_EQ(shifts, expected);
}

TEST(KeyShift, KeyCodesOutsideTheTableMeanNoShift) {
    for (std::int16_t code : std::initializer_list<std::int16_t>{0, -1, 26, 32767, -32768})
        EXPECT_EQ(keyShift(code), 0) << code;
}

}  // namespace
}  // namespace voxilo
