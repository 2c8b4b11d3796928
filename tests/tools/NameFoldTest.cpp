#include "NameFold.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct NamePair {
    const char* what;
    const char* a; // code page 932 bytes
    const char* b;
    NameClash expected;
};

const NamePair Pairs[] = {
    {"ASCII letters", "Readme.TXT", "README.txt", NameClash::Windows},
    {"full-width A", "\x82\x60.txt", "\x82\x81.txt", NameClash::Windows},        // Ａ ａ
    {"full-width Z", "\x82\x79", "\x82\x9A", NameClash::Windows},                // Ｚ ｚ
    {"Greek alpha", "\x83\x9F", "\x83\xBF", NameClash::Windows},                 // Α α
    {"Greek omega", "\x83\xB6\x83\xBF", "\x83\xD6\x83\x9F", NameClash::Windows}, // Ωα ωΑ
    {"Cyrillic zhe", "\x84\x47", "\x84\x77", NameClash::Windows},                // Ж ж
    {"Cyrillic yo", "\x84\x46", "\x84\x76", NameClash::Windows},                 // Ё ё
    {"Roman numeral one", "\x87\x54", "\xEE\xEF", NameClash::Windows},           // Ⅰ ⅰ
    {"one character in two codes", "\x87\x54", "\xFA\x4A", NameClash::Windows},  // Ⅰ of NEC and of IBM
    {"ASCII after a trail byte 0x5C",
     "\x95\x5C"
     "a",
     "\x95\x5C"
     "A",
     NameClash::Windows},                                                   // 表a 表A
    {"trail bytes A and a", "\x83\x41", "\x83\x61", NameClash::Ledger},     // ア ヂ
    {"trail bytes Z and z", "x\x83\x5A", "x\x83\x7A", NameClash::Ledger},   // xセ xホ
    {"full-width against ASCII", "\x82\x60", "A", NameClash::None},         // Ａ A
    {"full-width against ASCII lower", "\x82\x81", "a", NameClash::None},   // ａ a
    {"katakana against half-width", "\x83\x41", "\xB1", NameClash::None},   // ア ｱ
    {"katakana against hiragana", "\x83\x41", "\x82\xA0", NameClash::None}, // ア あ
    {"Angstrom sign against A", "\x81\xF0", "A", NameClash::None},          // Å A
    {"different letters", "a.txt", "b.txt", NameClash::None},
    {"a trailing letter more", "ab", "abA", NameClash::None},
    {"lead byte alone against its pair", "\x83", "\x83\x41", NameClash::None},
};

TEST(NameFold, PairsAreTakenForOneExactlyWhereWindowsOrTheLedgerDoes)
{
    for (const NamePair& pair : Pairs) {
        EXPECT_EQ(CompareNames(pair.a, pair.b), pair.expected) << pair.what;
        EXPECT_EQ(CompareNames(pair.b, pair.a), pair.expected) << pair.what;
    }
}

#ifdef _WIN32
std::wstring Decode(const char* cp932)
{
    wchar_t wide[64] = {};
    MultiByteToWideChar(932, 0, cp932, -1, wide, 64);
    return wide;
}

// The table is generated, not taken from this system; the system's own case
// comparison must still agree with it on every pair.
TEST(NameFold, AgreesWithTheSystemsOwnCaseInsensitiveComparison)
{
    for (const NamePair& pair : Pairs) {
        if (pair.expected == NameClash::Ledger || std::string(pair.what) == "lead byte alone against its pair")
            continue;
        const std::wstring a = Decode(pair.a);
        const std::wstring b = Decode(pair.b);
        const bool systemEqual = CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
        EXPECT_EQ(systemEqual, pair.expected == NameClash::Windows) << pair.what;
    }
}
#endif

TEST(NameFold, BytesThatAreNoCharacterMatchOnlyThemselves)
{
    EXPECT_EQ(CompareNames("\x85\x40", "\x85\x40"), NameClash::Windows); // an unassigned code
    EXPECT_EQ(CompareNames("\x85\x40", "\x86\x40"), NameClash::None);
    EXPECT_EQ(CompareNames("\xFF", "\xFE"), NameClash::None);
}

TEST(PathClashes, ReportsTheEarlierPathAndWhichViewTookThemForOne)
{
    PathClashes clashes;
    EXPECT_FALSE(clashes.Add("bin\\\x83\x41.txt", "first"));
    EXPECT_FALSE(clashes.Add("bin\\\x82\x60", "second"));
    const auto ledger = clashes.Add("bin\\\x83\x61.txt", "third");
    ASSERT_TRUE(ledger);
    EXPECT_EQ(ledger->earlier, "first");
    EXPECT_EQ(ledger->kind, NameClash::Ledger);
    const auto windows = clashes.Add("BIN\\\x82\x81", "fourth");
    ASSERT_TRUE(windows);
    EXPECT_EQ(windows->earlier, "second");
    EXPECT_EQ(windows->kind, NameClash::Windows);
    // A refused path is not remembered.
    EXPECT_FALSE(clashes.Add("bin\\other", "fifth"));
}

} // namespace
