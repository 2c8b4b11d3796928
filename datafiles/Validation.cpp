#include "Validation.h"

#include <cstring>

namespace {

bool IsForbiddenInName(unsigned char b)
{
    if (b >= 0x01 && b <= 0x1F)
        return true;
    return std::strchr("/*?\"<>|", b) != nullptr;
}

// Windows trims trailing dots and spaces from a name, so a name made of
// nothing else acts as ".", ".." or an empty name.
bool IsOnlyDotsAndSpaces(const char* name, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        if (name[i] != '.' && name[i] != ' ')
            return false;
    return true;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(const char* text, std::size_t length, const char* lower)
{
    if (std::strlen(lower) != length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (LowerAscii(text[i]) != lower[i])
            return false;
    return true;
}

// Windows opens a device for such a name in any folder; what follows the
// first dot does not matter, nor do spaces before it.
bool IsDeviceName(const char* name, std::size_t length)
{
    std::size_t base = 0;
    while (base < length && name[base] != '.')
        ++base;
    while (base > 0 && name[base - 1] == ' ')
        --base;
    static const char* const devices[] = {"con", "prn", "aux", "nul"};
    for (const char* device : devices)
        if (EqualsIgnoringAsciiCase(name, base, device))
            return true;
    if (base == 4 && name[3] >= '1' && name[3] <= '9')
        return EqualsIgnoringAsciiCase(name, 3, "com") || EqualsIgnoringAsciiCase(name, 3, "lpt");
    return false;
}

RecordProblem CheckName(const char* name, std::size_t length)
{
    if (length == 0)
        return RecordProblem::EmptyComponent;
    if (IsOnlyDotsAndSpaces(name, length))
        return RecordProblem::DotComponent;
    // A name's last byte is never a trail byte here: the walk ends names only
    // at single-byte characters, and 0x2E and 0x20 cannot follow a lead byte.
    if (name[length - 1] == '.' || name[length - 1] == ' ')
        return RecordProblem::TrailingDotOrSpace;
    if (IsDeviceName(name, length))
        return RecordProblem::DeviceName;
    return RecordProblem::None;
}

} // namespace

const char* DescribeProblem(RecordProblem problem)
{
    switch (problem) {
    case RecordProblem::None:
        return "no problem";
    case RecordProblem::UnterminatedProductName:
        return "product name has no terminator within its field";
    case RecordProblem::UnterminatedRegistryKey:
        return "registry key has no terminator within its field";
    case RecordProblem::UnterminatedRegistryValueName:
        return "registry value name has no terminator within its field";
    case RecordProblem::UnterminatedPath:
        return "path has no terminator within its field";
    case RecordProblem::EmptyPath:
        return "path is empty";
    case RecordProblem::AbsolutePath:
        return "path is absolute or names a drive or stream";
    case RecordProblem::DotComponent:
        return "path has a component of dots and spaces only";
    case RecordProblem::EmptyComponent:
        return "path has two separators in a row";
    case RecordProblem::ForbiddenCharacter:
        return "path has a character that is not allowed in a name";
    case RecordProblem::TrailingDotOrSpace:
        return "path has a name ending in a dot or a space";
    case RecordProblem::IllegalByte:
        return "path has a byte that is not a character of the code page";
    case RecordProblem::DeviceName:
        return "path has a reserved device name";
    }
    return "unknown problem";
}

bool IsTerminated(const char* field, std::size_t size)
{
    return std::memchr(field, '\0', size) != nullptr;
}

RecordProblem CheckUpdateInfoHeader(const UpdateInfoHeader& header)
{
    if (!IsTerminated(header.ProductName, sizeof header.ProductName))
        return RecordProblem::UnterminatedProductName;
    if (!IsTerminated(header.RegistryKey, sizeof header.RegistryKey))
        return RecordProblem::UnterminatedRegistryKey;
    if (!IsTerminated(header.RegistryValueName, sizeof header.RegistryValueName))
        return RecordProblem::UnterminatedRegistryValueName;
    return RecordProblem::None;
}

RecordProblem CheckUpdatePath(const char (&path)[PathFieldSize], const MbcsClassifier& classifier)
{
    if (!IsTerminated(path, PathFieldSize))
        return RecordProblem::UnterminatedPath;
    const std::size_t length = std::strlen(path);
    if (length == 0)
        return RecordProblem::EmptyPath;
    if (path[0] == '\\' || path[0] == '/')
        return RecordProblem::AbsolutePath;

    // One walk over the bytes. A byte's class follows from the class of the
    // byte before it, so each step asks the classifier about one or two bytes
    // rather than rescanning from the start.
    std::size_t nameStart = 0;
    int previousClass = MbcsIllegal;
    for (std::size_t i = 0; i < length; ++i) {
        const int byteClass =
            previousClass == MbcsLead ? classifier.Classify(path + i - 1, 1) : classifier.Classify(path + i, 0);
        previousClass = byteClass;
        // The second byte of a double-byte character is part of the name.
        if (byteClass == MbcsTrail)
            continue;
        const unsigned char b = static_cast<unsigned char>(path[i]);
        if (b == ':')
            return RecordProblem::AbsolutePath;
        if (IsForbiddenInName(b))
            return RecordProblem::ForbiddenCharacter;
        if (byteClass == MbcsIllegal)
            return RecordProblem::IllegalByte;
        if (b != '\\')
            continue;
        const RecordProblem problem = CheckName(path + nameStart, i - nameStart);
        if (problem != RecordProblem::None)
            return problem;
        nameStart = i + 1;
    }
    // A lead byte needs a trail byte after it, not the terminator.
    if (previousClass == MbcsLead)
        return RecordProblem::IllegalByte;
    // A folder entry ends with its separator and leaves no last name.
    return nameStart == length ? RecordProblem::None : CheckName(path + nameStart, length - nameStart);
}

bool RecordCountsFit(std::uint32_t updateCount, std::uint32_t ledgerCount)
{
    return updateCount <= MaxRecordCount && ledgerCount <= MaxRecordCount
        && std::uint64_t{updateCount} + ledgerCount <= MaxRecordCount;
}
