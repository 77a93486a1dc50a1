#include "core/cipher/KeyShift.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace voxilo {
namespace {

TEST(KeyShift, UsesEachNonZeroShiftFromMinusFiveToTwentyOnce) {
    std::vector<int> shifts;
    for (std::int16_t code = 1; code <= 25; ++code) shifts.push_back(keyShift(code));
    EXPECT_FALSE(std::is_sorted(shifts.begin(), shifts.end()));
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
