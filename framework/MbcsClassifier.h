#pragma once

#include <cstddef>
#include <cstdint>

// Byte classes of a multibyte string.
enum MbcsByteClass : int {
    MbcsSingle = 0,
    MbcsLead = 1,
    MbcsTrail = 2,
    MbcsIllegal = -1,
};

// Classifies the bytes of strings in one code page: which bytes lead a
// double-byte character, which may follow a lead byte, and which stand alone.
// Portable: the code page is a parameter, so any code page's rules can be
// applied without changing the process's own.
class MbcsClassifier {
public:
    struct ByteRange {
        unsigned char first;
        unsigned char last;
    };

    // A code page whose every byte is a single-byte character.
    MbcsClassifier() = default;

    // The rules of a double-byte code page: printable ASCII (0x20-0x7E) and the
    // further single ranges stand alone; everything else outside a range is illegal.
    MbcsClassifier(const ByteRange* leads, std::size_t leadCount, const ByteRange* trails, std::size_t trailCount,
                   const ByteRange* singles, std::size_t singleCount);

    // The built-in table: 932, 936, 949, 950 and 1361; any other code page is
    // single-byte here (the system's own lead-byte tables are the caller's business).
    static MbcsClassifier ForKnownCodePage(std::uint32_t codePage);
    static bool IsKnownDoubleByteCodePage(std::uint32_t codePage);

    bool IsDoubleByte() const { return m_doubleByte; }

    // Class of s[index]. The walk starts at s[0] every time, since a byte's
    // class depends on every byte before it.
    int Classify(const char* s, std::size_t index) const;

private:
    bool m_doubleByte = false;
    bool m_lead[256] = {};
    bool m_trail[256] = {};
    bool m_single[256] = {};
};
