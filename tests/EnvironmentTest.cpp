#include <gtest/gtest.h>
#include <windows.h>

// Every Shift-JIS test depends on this: without a Japanese locale Wine
// reports another ANSI code page and those tests would prove nothing.
TEST(Environment, AnsiCodePageIsShiftJis)
{
    ASSERT_EQ(GetACP(), 932u) << "run the tests through scripts/test (LANG=ja_JP.UTF-8)";
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    EXPECT_EQ(info.MaxCharSize, 2u);
}
