#include "app/AppState.h"

#include <gtest/gtest.h>

#include "cipher/LineConversion.h"

namespace voxilo {
namespace {

TEST(AppState, BeforeAnyLoginConvertsWithNoShift) {
    const AppState state;
    EXPECT_EQ(state.currentUser, u"");
    ASSERT_EQ(state.userNames.size(), 1u);  // index 0 exists and holds ""
    EXPECT_EQ(encodeLines(u"abc", state.keyCode, state.pattern), u"063006200610");
    EXPECT_NE(std::u16string_view(state.commandLineFile), kCommandLineFileMissing);
    EXPECT_EQ(kCommandLineFileMissing.size(), 1u);
}

}  // namespace
}  // namespace voxilo
