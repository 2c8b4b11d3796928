#include "PathHelpers.h"

#include <cstring>
#include <windows.h>

namespace {

// Length of path, or PathCapacity when no terminator lies within the buffer:
// such a path is refused rather than read or written past its end.
std::size_t BoundedLength(const char* path)
{
    return strnlen(path, PathCapacity);
}

bool IsSeparator(const char* s, std::size_t index)
{
    return s[index] == '\\' && MbcsByteType(s, index) == MbcsSingle;
}

// Double-byte code pages outside the built-in table: lead bytes as the system
// reports them, any byte but NUL and 0xFF may follow one.
MbcsClassifier ClassifierFromSystem(unsigned codePage)
{
    CPINFO info{};
    if (!GetCPInfo(codePage, &info) || info.MaxCharSize <= 1)
        return MbcsClassifier();
    MbcsClassifier::ByteRange leads[MAX_LEADBYTES / 2];
    std::size_t leadCount = 0;
    for (std::size_t i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
        leads[leadCount++] = {info.LeadByte[i], info.LeadByte[i + 1]};
    static const MbcsClassifier::ByteRange trails[] = {{0x01, 0xFE}};
    return MbcsClassifier(leads, leadCount, trails, 1, nullptr, 0);
}

// Reads the code page at start-up, before anything else in the process can
// ask for it, so it is fixed for the whole run.
const MbcsClassifier& startupClassifier = ActiveCodePageClassifier();

} // namespace

const MbcsClassifier& ActiveCodePageClassifier()
{
    static const MbcsClassifier classifier = ClassifierForCodePage(GetACP());
    return classifier;
}

MbcsClassifier ClassifierForCodePage(unsigned codePage)
{
    if (MbcsClassifier::IsKnownDoubleByteCodePage(codePage))
        return MbcsClassifier::ForKnownCodePage(codePage);
    // UTF-7 and UTF-8 report multibyte characters but have no lead-byte
    // ranges in this sense; their paths are treated byte by byte.
    if (codePage == CP_UTF7 || codePage == CP_UTF8)
        return MbcsClassifier();
    return ClassifierFromSystem(codePage);
}

int MbcsByteType(const char* s, std::size_t index)
{
    return ActiveCodePageClassifier().Classify(s, index);
}

char* GetDirectory(PathBuffer& destination, const char* source)
{
    const std::size_t length = BoundedLength(source);
    if (length >= PathCapacity)
        return destination;
    // The first byte is never examined: a separator there leaves nothing anyway.
    for (std::size_t i = length; i-- > 1;) {
        if (IsSeparator(source, i)) {
            std::memcpy(destination, source, length + 1);
            destination[i] = '\0';
            return destination;
        }
    }
    destination[0] = '\0';
    return destination;
}

char* StripFileName(PathBuffer& path)
{
    PathBuffer work;
    std::memcpy(work, path, sizeof work);
    return GetDirectory(path, work);
}

char* AddTrailingBackslash(PathBuffer& path)
{
    const std::size_t length = BoundedLength(path);
    if (length < 2)
        return path;
    if (path[length - 1] == '\\' && MbcsByteType(path, length - 1) != MbcsTrail)
        return path;
    if (length + 2 > PathCapacity)
        return path;
    path[length] = '\\';
    path[length + 1] = '\0';
    return path;
}

bool CreateDirectoryTree(const char* path)
{
    const std::size_t length = BoundedLength(path);
    if (length >= PathCapacity)
        return true;
    PathBuffer work;
    for (std::size_t i = 0; i < length; ++i) {
        if (IsSeparator(path, i)) {
            work[i] = '\0';
            CreateDirectoryA(work, nullptr);
        }
        work[i] = path[i];
    }
    work[length] = '\0';
    CreateDirectoryA(work, nullptr);
    return true;
}
