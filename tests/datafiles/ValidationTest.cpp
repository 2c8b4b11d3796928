#include "Validation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const MbcsClassifier ShiftJis = MbcsClassifier::ForKnownCodePage(932);

struct PathField {
    char bytes[PathFieldSize] = {};
    explicit PathField(const std::string& text)
    {
        std::memcpy(bytes, text.data(), text.size() < PathFieldSize ? text.size() : PathFieldSize);
    }
};

struct PathCase {
    const char* path;
    RecordProblem expected;
};

const PathCase PathCases[] = {
    {"a.txt", RecordProblem::None},
    {"bin\\a.dll", RecordProblem::None},
    {"bin\\", RecordProblem::None},
    {"bin\\sub\\", RecordProblem::None},
    {".config\\a..b\\c", RecordProblem::None},
    {"a.b c\\x", RecordProblem::None},
    // Device names only as a whole name or before the first dot.
    {"CONFIG.SYS", RecordProblem::None},
    {"icon.ico", RecordProblem::None},
    {"con_\\nul1.txt", RecordProblem::None},
    {"COM0", RecordProblem::None},
    {"COM10", RecordProblem::None},
    {"LPT", RecordProblem::None},
    {"a.con", RecordProblem::None},
    {"a b\\\xB1\xB2", RecordProblem::None}, // half-width katakana stand alone
    // 表 ends in 0x5C and ポ in 0x7C; both trail bytes are part of the name.
    {"\x95\x5C", RecordProblem::None},
    {"\x95\x5C\\", RecordProblem::None},
    {"\x95\x5C\\\x83\x7C.txt", RecordProblem::None},

    {"", RecordProblem::EmptyPath},

    {"\\a.txt", RecordProblem::AbsolutePath},
    {"\\\\server\\share\\a.txt", RecordProblem::AbsolutePath},
    {"/a.txt", RecordProblem::AbsolutePath},
    {"C:\\Windows\\a.dll", RecordProblem::AbsolutePath},
    {"C:a.dll", RecordProblem::AbsolutePath},
    {"a.txt:stream", RecordProblem::AbsolutePath},

    {".", RecordProblem::DotComponent},
    {"..", RecordProblem::DotComponent},
    {"..\\a.txt", RecordProblem::DotComponent},
    {"bin\\..\\..\\a.txt", RecordProblem::DotComponent},
    {"bin\\..", RecordProblem::DotComponent},
    {"bin\\.\\a.txt", RecordProblem::DotComponent},
    {".. \\a.txt", RecordProblem::DotComponent},
    {"bin\\. .\\", RecordProblem::DotComponent},
    {"...", RecordProblem::DotComponent},
    {"  \\a.txt", RecordProblem::DotComponent},

    {"bin\\\\a.txt", RecordProblem::EmptyComponent},
    {"bin\\\\", RecordProblem::EmptyComponent},
    {"\x95\x5C\\\\", RecordProblem::EmptyComponent},

    {"bin/a.txt", RecordProblem::ForbiddenCharacter},
    {"a*.txt", RecordProblem::ForbiddenCharacter},
    {"a?.txt", RecordProblem::ForbiddenCharacter},
    {"a\".txt", RecordProblem::ForbiddenCharacter},
    {"a<b", RecordProblem::ForbiddenCharacter},
    {"a>b", RecordProblem::ForbiddenCharacter},
    {"a|b", RecordProblem::ForbiddenCharacter},
    {"a\x01", RecordProblem::ForbiddenCharacter},
    {"a\tb", RecordProblem::ForbiddenCharacter},
    {"a\x1F", RecordProblem::ForbiddenCharacter},
    // 0x3F cannot follow a lead byte, so it stands for itself.
    {"\x83?", RecordProblem::ForbiddenCharacter},

    {"c.", RecordProblem::TrailingDotOrSpace},
    {"sub\\d ", RecordProblem::TrailingDotOrSpace},
    {"sub \\a.txt", RecordProblem::TrailingDotOrSpace},
    {"sub.\\", RecordProblem::TrailingDotOrSpace},
    {"a.txt.", RecordProblem::TrailingDotOrSpace},
    {"\x95\x5C ", RecordProblem::TrailingDotOrSpace},

    {"a\x81", RecordProblem::IllegalByte}, // a lead byte at the end
    {"bin\\\x95", RecordProblem::IllegalByte},
    {"\x81\x20.txt", RecordProblem::IllegalByte}, // a lead byte before a byte outside the trail ranges
    {"\x81\x7F", RecordProblem::IllegalByte},
    {"\x81\xFD", RecordProblem::IllegalByte},
    {"a\x80.txt", RecordProblem::IllegalByte},
    {"a\xA0\\", RecordProblem::IllegalByte},
    {"\xFD", RecordProblem::IllegalByte},
    {"\xFE.txt", RecordProblem::IllegalByte},
    {"b\\\xFF", RecordProblem::IllegalByte},
    {"a\x7F", RecordProblem::IllegalByte},

    {"CON", RecordProblem::DeviceName},
    {"con", RecordProblem::DeviceName},
    {"Prn.txt", RecordProblem::DeviceName},
    {"bin\\aux.tar.gz", RecordProblem::DeviceName},
    {"NuL\\", RecordProblem::DeviceName},
    {"nul\\a.txt", RecordProblem::DeviceName},
    {"COM1", RecordProblem::DeviceName},
    {"com9.log", RecordProblem::DeviceName},
    {"lpt1", RecordProblem::DeviceName},
    {"sub\\LPT9.dat", RecordProblem::DeviceName},
    {"CON .txt", RecordProblem::DeviceName},
};

TEST(CheckUpdatePath, ClassifiesPathsInShiftJis)
{
    for (const PathCase& c : PathCases) {
        const PathField field(c.path);
        EXPECT_EQ(CheckUpdatePath(field.bytes, ShiftJis), c.expected)
            << "path \"" << c.path << "\": " << DescribeProblem(c.expected);
    }
}

TEST(CheckUpdatePath, ByteClassesApplyOnlyToADoubleByteCodePage)
{
    for (const char* path : {"a\x81", "a\x80.txt", "\xFD", "\x81\x20.txt"}) {
        const PathField field(path);
        EXPECT_EQ(CheckUpdatePath(field.bytes, MbcsClassifier()), RecordProblem::None) << path;
    }
}

TEST(CheckUpdatePath, TrailByteIsASeparatorOnlyInASingleByteCodePage)
{
    const PathField field("\x95\x5C\\");
    EXPECT_EQ(CheckUpdatePath(field.bytes, ShiftJis), RecordProblem::None);
    EXPECT_EQ(CheckUpdatePath(field.bytes, MbcsClassifier()), RecordProblem::EmptyComponent);
}

TEST(CheckUpdatePath, NeedsATerminatorWithinTheField)
{
    const PathField longest(std::string(PathFieldSize - 1, 'a'));
    EXPECT_EQ(CheckUpdatePath(longest.bytes, ShiftJis), RecordProblem::None);
    const PathField full(std::string(PathFieldSize, 'a'));
    EXPECT_EQ(CheckUpdatePath(full.bytes, ShiftJis), RecordProblem::UnterminatedPath);
}

TEST(CheckUpdateInfoHeader, EachTextFieldNeedsATerminator)
{
    UpdateInfoHeader header{};
    EXPECT_EQ(CheckUpdateInfoHeader(header), RecordProblem::None);

    struct Case {
        char* field;
        RecordProblem expected;
    } cases[] = {
        {header.ProductName, RecordProblem::UnterminatedProductName},
        {header.RegistryKey, RecordProblem::UnterminatedRegistryKey},
        {header.RegistryValueName, RecordProblem::UnterminatedRegistryValueName},
    };
    for (const Case& c : cases) {
        std::memset(c.field, 'x', TextFieldSize - 1);
        c.field[TextFieldSize - 1] = '\0';
        EXPECT_EQ(CheckUpdateInfoHeader(header), RecordProblem::None);
        c.field[TextFieldSize - 1] = 'x';
        EXPECT_EQ(CheckUpdateInfoHeader(header), c.expected);
        c.field[0] = '\0';
    }
}

TEST(RecordCountsFit, BothCountsAndTheirSumStayWithinTheDataModel)
{
    struct Case {
        std::uint32_t update;
        std::uint32_t ledger;
        bool fits;
    } const cases[] = {
        {0, 0, true},
        {MaxRecordCount, 0, true},
        {0, MaxRecordCount, true},
        {MaxRecordCount - 20000, 20000, true},
        {MaxRecordCount + 1, 0, false},
        {0, MaxRecordCount + 1, false},
        {MaxRecordCount - 20000, 20001, false},
        {0xFFFFFFFFu, 1, false}, // the 32-bit sum wraps to 0
        {2, 0xFFFFFFFEu, false},
        {0x80000000u, 0x80000000u, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecordCountsFit(c.update, c.ledger), c.fits) << c.update << " + " << c.ledger;
}

} // namespace
