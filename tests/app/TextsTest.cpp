#include "Texts.h"

#include "Records.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::wstring DecodeShiftJis(const std::string& bytes)
{
    if (bytes.empty())
        return {};
    const int length =
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

std::string EncodeShiftJis(const std::wstring& text)
{
    const int length =
        WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

struct TextCase {
    const char* name;
    const char* bytes;
    const wchar_t* expected;
};

// Each text as UTF-16, written independently of the byte strings.
const TextCase AllTexts[] = {
    {"update information unreadable", UpdateInfoUnreadableText,
     L"\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8\u60c5\u5831\u30d5\u30a1\u30a4\u30eb\u304c"
     L"\u958b\u3051\u307e\u305b\u3093\u3067\u3057\u305f"},
    {"not installed", NotInstalledFormat,
     L"%s\u304c\u6b63\u5e38\u306b\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3055\u308c\u3066"
     L"\u3044\u307e\u305b\u3093\n\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u5f8c\u3001"
     L"\u5b9f\u884c\u3057\u3066\u304f\u3060\u3055\u3044"},
    {"update completed", UpdateCompletedText,
     L"\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8\u304c\u5b8c\u4e86\u3057\u307e\u3057\u305f"},
    {"completed caption", UpdateCompletedCaption, L"\u5b8c\u4e86"},
    {"update failed", UpdateFailedText,
     L"\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8\u306b\u5931\u6557\u3057\u307e\u3057\u305f"},
    {"ledger write failed", LedgerWriteFailedText,
     L"\u30a2\u30f3\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u60c5\u5831\u3092\u66f8\u304d"
     L"\u8fbc\u3081\u307e\u305b\u3093\u3067\u3057\u305f"},
    {"confirm caption", ConfirmCaptionFormat, L"%s \u30a2\u30c3\u30d7\u30c7\u30fc\u30c8"},
    {"confirm text", ConfirmTextFormat, L"%s\u306e\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8\u3092\u884c\u3044\u307e\u3059"},
    {"copying status", CopyingStatusFormat, L"%s\u3092\u30b3\u30d4\u30fc\u4e2d..."},
};

TEST(Texts, EachDecodesFromCodePage932ToItsJapaneseText)
{
    for (const TextCase& text : AllTexts) {
        SCOPED_TRACE(text.name);
        EXPECT_EQ(DecodeShiftJis(text.bytes), text.expected);
        // Round trip: the bytes are the canonical encoding, not merely decodable.
        EXPECT_EQ(EncodeShiftJis(text.expected), text.bytes);
    }
}

TEST(Texts, NotInstalledMessageBreaksIntoTwoLinesAtOneLineFeed)
{
    const char* lineFeed = std::strchr(NotInstalledFormat, '\n');
    ASSERT_NE(lineFeed, nullptr);
    EXPECT_EQ(std::strchr(lineFeed + 1, '\n'), nullptr);
    EXPECT_EQ(std::strchr(NotInstalledFormat, '\r'), nullptr);
}

// A product name of the longest length the update information allows, ending
// in double-byte characters whose trail byte is a backslash (0x5C).
std::string LongestProductName()
{
    std::string name(TextFieldSize - 1 - 4, 'N');
    name += "\x95\x5C\x83\x5C"; // 表ソ
    return name;
}

TEST(Texts, ProductNameFormatsHoldTheLongestNameWhole)
{
    const std::string name = LongestProductName();
    ASSERT_EQ(name.size(), 127u);
    for (const char* format : {NotInstalledFormat, ConfirmCaptionFormat, ConfirmTextFormat}) {
        char buffer[TextBufferSize];
        ASSERT_TRUE(FormatText(buffer, format, name.c_str()));
        const char* placeholder = std::strstr(format, "%s");
        ASSERT_NE(placeholder, nullptr);
        const std::string expected = std::string(format, placeholder) + name + std::string(placeholder + 2);
        EXPECT_EQ(std::string(buffer), expected);
    }
}

TEST(Texts, FormatIntoSmallBufferStopsAtItsEndAndTerminates)
{
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    char* const inner = buffer + 1; // guard bytes on both sides
    EXPECT_FALSE(FormatText(inner, 10, ConfirmTextFormat, "Product"));
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(buffer[11], '#');
    EXPECT_EQ(std::string(inner), std::string("Product\x82\xCC"));

    EXPECT_FALSE(FormatText(inner, 0, ConfirmTextFormat, "Product"));
    EXPECT_EQ(inner[0], 'P');
}

TEST(Texts, EmptyArgumentLeavesTheFixedTextOnly)
{
    char buffer[TextBufferSize];
    ASSERT_TRUE(FormatText(buffer, ConfirmCaptionFormat, ""));
    EXPECT_EQ(DecodeShiftJis(buffer), L" \u30a2\u30c3\u30d7\u30c7\u30fc\u30c8");
}

} // namespace
