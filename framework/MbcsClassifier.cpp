#include "MbcsClassifier.h"

namespace {

void Mark(bool (&table)[256], const MbcsClassifier::ByteRange* ranges, std::size_t count)
{
    for (std::size_t r = 0; r < count; ++r)
        for (unsigned b = ranges[r].first; b <= ranges[r].last; ++b)
            table[b] = true;
}

template <std::size_t L, std::size_t T>
MbcsClassifier Make(const MbcsClassifier::ByteRange (&leads)[L], const MbcsClassifier::ByteRange (&trails)[T])
{
    return MbcsClassifier(leads, L, trails, T, nullptr, 0);
}

} // namespace

MbcsClassifier::MbcsClassifier(const ByteRange* leads, std::size_t leadCount, const ByteRange* trails,
                               std::size_t trailCount, const ByteRange* singles, std::size_t singleCount)
    : m_doubleByte(true)
{
    Mark(m_lead, leads, leadCount);
    Mark(m_trail, trails, trailCount);
    Mark(m_single, singles, singleCount);
    // No locale is selected, so only the basic set is printable.
    for (unsigned b = 0x20; b <= 0x7E; ++b)
        m_single[b] = true;
}

bool MbcsClassifier::IsKnownDoubleByteCodePage(std::uint32_t codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}

MbcsClassifier MbcsClassifier::ForKnownCodePage(std::uint32_t codePage)
{
    switch (codePage) {
    case 932: {
        static const ByteRange leads[] = {{0x81, 0x9F}, {0xE0, 0xFC}};
        static const ByteRange trails[] = {{0x40, 0x7E}, {0x80, 0xFC}};
        static const ByteRange singles[] = {{0xA1, 0xDF}}; // half-width punctuation and katakana
        return MbcsClassifier(leads, 2, trails, 2, singles, 1);
    }
    case 936: {
        static const ByteRange leads[] = {{0x81, 0xFE}};
        static const ByteRange trails[] = {{0x40, 0xFE}};
        return Make(leads, trails);
    }
    case 949: {
        static const ByteRange leads[] = {{0x81, 0xFE}};
        static const ByteRange trails[] = {{0x41, 0xFE}};
        return Make(leads, trails);
    }
    case 950: {
        static const ByteRange leads[] = {{0x81, 0xFE}};
        static const ByteRange trails[] = {{0x40, 0x7E}, {0xA1, 0xFE}};
        return Make(leads, trails);
    }
    case 1361: {
        static const ByteRange leads[] = {{0x81, 0xD3}, {0xD8, 0xDE}, {0xE0, 0xF9}};
        static const ByteRange trails[] = {{0x31, 0x7E}, {0x81, 0xFE}};
        return Make(leads, trails);
    }
    default:
        return MbcsClassifier();
    }
}

int MbcsClassifier::Classify(const char* s, std::size_t index) const
{
    if (!m_doubleByte)
        return MbcsSingle;
    int previous = MbcsIllegal;
    int current = MbcsIllegal;
    for (std::size_t i = 0; i <= index; ++i) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (previous == MbcsLead)
            current = m_trail[b] ? MbcsTrail : MbcsIllegal;
        else if (m_lead[b])
            current = MbcsLead;
        else
            current = m_single[b] ? MbcsSingle : MbcsIllegal;
        previous = current;
    }
    return current;
}
