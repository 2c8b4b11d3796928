#include "CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, ConvertsRepresentableTextToShiftJis)
{
    const struct {
        const char* utf8;
        const char* cp932;
    } cases[] = {
        {"readme.txt", "readme.txt"},
        {"表示.txt", "\x95\x5C\x8E\xA6.txt"}, // trail byte 0x5C stays part of 表
        {"サンプル", "\x83\x54\x83\x93\x83\x76\x83\x8B"},
        {"ｱ", "\xB1"},      // half-width katakana is a single byte
        {"～", "\x81\x60"}, // FULLWIDTH TILDE, the one code 0x8160 comes back as
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> cp932 = Utf8ToCp932(c.utf8);
        ASSERT_TRUE(cp932.has_value()) << c.utf8;
        EXPECT_EQ(*cp932, c.cp932) << c.utf8;
        EXPECT_EQ(Cp932ToUtf8(*cp932), c.utf8);
    }
}

TEST(CodePage, RefusesTextWithoutAnExactShiftJisForm)
{
    const char* cases[] = {
        "café.txt", // no é in code page 932; best fit would make it e
        "〜",       // WAVE DASH goes to 0x8160, which comes back as FULLWIDTH TILDE
        "😀",
        "\xFF\xFEnot utf-8",
    };
    for (const char* utf8 : cases)
        EXPECT_FALSE(Utf8ToCp932(utf8).has_value()) << utf8;
}

TEST(CodePage, ShowsBadAndControlBytesEscaped)
{
    EXPECT_EQ(Cp932ToUtf8("a\nb"), "a\\x0Ab");
    EXPECT_EQ(Cp932ToUtf8("\x95"), "\\x95");                      // a lead byte cut off at the end
    EXPECT_EQ(Cp932ToUtf8("\x95\x5C\x95\x01z"), "表\\x95\\x01z"); // a lead byte without its trail
}
