// Mutated Updateinf.dat and Uninstallinf.dat files, from a seeded generator,
// run through the whole update against a scratch installation. Whatever the
// input: no crash, nothing written outside the installation folder, every
// refusal made before anything changed, no temporary copy left behind.
// UPDATER_FUZZ_SEED, UPDATER_FUZZ_FIRST and UPDATER_FUZZ_COUNT replay a failure.

#include "Harness.h"
#include "PathHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

std::uint64_t EnvironmentNumber(const char* name, std::uint64_t fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 0) : fallback;
}

class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : static_cast<std::size_t>(Next() % bound); }

private:
    std::uint64_t m_state;
};

void Put32(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    if (offset + 4 <= bytes.size())
        std::memcpy(bytes.data() + offset, &value, 4);
}

// Writes path into record number index's Path field, unterminated when it fills it.
void PutPath(Bytes& bytes, std::size_t headerSize, std::size_t index, const std::string& path)
{
    const std::size_t offset = headerSize + index * sizeof(FileEntry);
    if (offset + PathFieldSize > bytes.size())
        return;
    std::memset(bytes.data() + offset, 0, PathFieldSize);
    std::memcpy(bytes.data() + offset, path.data(), std::min(path.size(), PathFieldSize));
}

std::size_t RecordCount(const Bytes& bytes, std::size_t headerSize)
{
    return bytes.size() < headerSize ? 0 : (bytes.size() - headerSize) / sizeof(FileEntry);
}

struct Tally {
    std::size_t inputs = 0;
    std::size_t refusedUpdateInfo = 0;
    std::size_t refusedNotInstalled = 0;
    std::size_t passesTrue = 0;
    std::size_t passesFalse = 0;
    std::size_t ledgersSaved = 0;
};

class BadInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_install = m_root.Path("install\\");
        m_source = m_root.Path("data\\");
        m_updateInfo = m_root.Path("Updateinf.dat");
        m_rig = std::make_unique<DriverRig>(m_root.Path(), m_install);
        ASSERT_TRUE(m_rig->IsReady());
        CreateDirectoryA(m_source.c_str(), nullptr);
        CreateDirectoryA((m_source + "sub").c_str(), nullptr);
        CreateDirectoryA(m_root.Path("sibling").c_str(), nullptr);
        ASSERT_TRUE(WriteWholeFile(m_root.Path("sibling\\victim.txt"), Bytes(64, 'v')));
        for (const FileEntry& entry : m_baseUpdate) {
            if (entry.Path[std::strlen(entry.Path) - 1] != '\\') {
                ASSERT_TRUE(WriteWholeFile(m_source + entry.Path, Bytes(entry.Size, 'n')));
            }
        }
        // An update path just short of the limit with this installation folder, and one byte over.
        const std::size_t longest = PathCapacity - 1 - m_install.size() - 4;
        m_hostilePaths.push_back(std::string(longest, 'q'));
        m_hostilePaths.push_back(std::string(longest + 1, 'q'));
        ASSERT_TRUE(WriteWholeFile(m_source + std::string(longest, 'q'), Bytes(3, 'q')));
    }

    Bytes BaseUpdate() const { return UpdateInfoBytes(m_baseUpdate, m_rig->KeyPath()); }

    Bytes BaseLedger() const
    {
        std::vector<FileEntry> records;
        for (int i = 0; i < 20; ++i)
            records.push_back(MakeEntry("old\\record" + std::to_string(i), 100));
        records.push_back(MakeEntry("A.TXT", 5));
        records.push_back(MakeEntry("sub\\", 0));
        return LedgerBytes(records);
    }

    std::string HostilePath(Random& random) const
    {
        if (random.Below(4) == 0) {
            // A random path of bytes from an alphabet rich in separators, dots and lead bytes.
            static const char alphabet[] = {'a', '.', '\\', '/', ':', ' ', '\x95', '\x83', '\x5C', '\x81', '*', '\x01'};
            std::string path(1 + random.Below(12), 'a');
            for (char& c : path)
                c = alphabet[random.Below(sizeof alphabet)];
            return path;
        }
        return m_hostilePaths[random.Below(m_hostilePaths.size())];
    }

    void MutateUpdate(Bytes& bytes, Random& random) const
    {
        const std::size_t header = sizeof(UpdateInfoHeader);
        const std::size_t count = RecordCount(bytes, header);
        switch (random.Below(7)) {
        case 0:
            bytes.resize(random.Below(bytes.size()));
            break;
        case 1: {
            const std::uint32_t counts[] = {0xFFFFFFFFu,        MaxRecordCount,
                                            MaxRecordCount + 1, static_cast<std::uint32_t>(count + 1),
                                            0x80000000u,        static_cast<std::uint32_t>(random.Next())};
            Put32(bytes, offsetof(UpdateInfoHeader, EntryCount), counts[random.Below(6)]);
            break;
        }
        case 2: {
            const std::size_t field = random.Below(3) * TextFieldSize;
            std::memset(bytes.data() + field, 'x', TextFieldSize);
            break;
        }
        case 3:
        case 4:
            PutPath(bytes, header, random.Below(count), HostilePath(random));
            break;
        case 5:
            for (std::size_t flips = 1 + random.Below(8); flips > 0; --flips)
                bytes[random.Below(bytes.size())] ^= static_cast<unsigned char>(1 + random.Below(255));
            break;
        default: {
            const std::size_t record = header + random.Below(count) * sizeof(FileEntry);
            Put32(bytes, record + offsetof(FileEntry, Size), static_cast<std::uint32_t>(random.Next()));
            Put32(bytes, record + offsetof(FileEntry, Extra), static_cast<std::uint32_t>(random.Next()));
            break;
        }
        }
    }

    void MutateLedger(Bytes& bytes, Random& random) const
    {
        const std::size_t header = sizeof(LedgerHeader);
        const std::size_t count = RecordCount(bytes, header);
        const std::uint32_t updates = static_cast<std::uint32_t>(m_baseUpdate.size());
        switch (random.Below(6)) {
        case 0:
            bytes.resize(random.Below(bytes.size()));
            break;
        case 1: {
            // Huge, and sums with the update's count that wrap or pass the limit by one.
            const std::uint32_t counts[] = {0xFFFFFFFFu,
                                            0u - updates,
                                            0u - updates + 1,
                                            MaxRecordCount - updates + 1,
                                            static_cast<std::uint32_t>(count + 1),
                                            static_cast<std::uint32_t>(random.Next())};
            Put32(bytes, offsetof(LedgerHeader, EntryCount), counts[random.Below(6)]);
            break;
        }
        case 2:
            Put32(bytes, offsetof(LedgerHeader, FileCount), static_cast<std::uint32_t>(random.Next()));
            Put32(bytes, offsetof(LedgerHeader, TotalSize), 0xFFFFFFFFu - static_cast<std::uint32_t>(random.Below(8)));
            break;
        case 3:
            PutPath(bytes, header, random.Below(count), std::string(PathFieldSize, 'A' + random.Below(26)));
            break;
        case 4:
            PutPath(bytes, header, random.Below(count), HostilePath(random));
            break;
        default:
            for (std::size_t flips = 1 + random.Below(8); flips > 0; --flips)
                bytes[random.Below(bytes.size())] ^= static_cast<unsigned char>(1 + random.Below(255));
            break;
        }
    }

    // The installation as the installer left it, with the ledger given.
    void ResetInstallation(const Bytes& ledger)
    {
        for (const auto& [path, content] : Snapshot(m_install)) {
            if (path.back() != '\\') {
                SetFileAttributesA((m_install + path).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((m_install + path).c_str());
            }
        }
        auto folders = Snapshot(m_install);
        for (auto it = folders.rbegin(); it != folders.rend(); ++it)
            RemoveDirectoryA((m_install + it->first).c_str());
        CreateDirectoryA(m_install.c_str(), nullptr);
        ASSERT_TRUE(WriteWholeFile(m_install + "a.txt", Bytes(5, 'o')));
        ASSERT_TRUE(WriteWholeFile(m_install + "Uninstallinf.dat", ledger));
    }

    // One input: everything outside the installation stays as it was, and a
    // refusal leaves the installation as it was too.
    void RunOne(const Bytes& update, const Bytes& ledger, Tally& tally)
    {
        ResetInstallation(ledger);
        ASSERT_TRUE(WriteWholeFile(m_updateInfo, update));
        const auto before = Snapshot(m_root.Path());
        const RunResult result = m_rig->Run();
        const auto after = Snapshot(m_root.Path());
        ++tally.inputs;
        if (!result.confirmed) {
            ++(result.refusal == UpdateInfoUnreadableText ? tally.refusedUpdateInfo : tally.refusedNotInstalled);
            ASSERT_TRUE(after == before) << "a refused input changed files";
            return;
        }
        ++(result.copied ? tally.passesTrue : tally.passesFalse);
        tally.ledgersSaved += result.saved ? 1 : 0;
        for (const auto& [path, content] : after) {
            if (path.compare(0, 8, "install\\") != 0) {
                ASSERT_TRUE(before.count(path) == 1 && before.at(path) == content) << "written outside: " << path;
            }
        }
        for (const auto& [path, content] : before)
            ASSERT_TRUE(path.compare(0, 8, "install\\") == 0 || after.count(path) == 1) << "removed outside: " << path;
        ASSERT_TRUE(TemporaryLeftovers(after).empty());
        ASSERT_TRUE(!result.saved || ReadWholeFile(m_install + "Uninstallinf.dat") == result.ledgerAtSave);
    }

    ScratchFolder m_root{"badinput"};
    std::string m_install;
    std::string m_source;
    std::string m_updateInfo;
    std::unique_ptr<DriverRig> m_rig;
    // Files, folders, a name with trail byte 0x5C (ソ is 0x83 0x5C) and a
    // folder whose last byte is the trail byte 0x5C of 表 (0x95 0x5C).
    const std::vector<FileEntry> m_baseUpdate{MakeEntry("sub\\", 0), MakeEntry("a.txt", 10),
                                              MakeEntry("sub\\b.bin", 120000), MakeEntry("\x95\x5C", 0),
                                              MakeEntry("sub\\\x83\x5C.txt", 7)};
    std::vector<std::string> m_hostilePaths{
        "",
        "..",
        "..\\sibling\\victim.txt",
        "sub\\..\\..\\sibling\\victim.txt",
        ".\\a.txt",
        "sub\\.\\a.txt",
        ". .\\a.txt",
        "a\\\\b",
        "C:\\evil.txt",
        "c:evil.txt",
        "\\evil.txt",
        "\\\\server\\share\\evil.txt",
        "Z:\\tmp\\evil.txt",
        "..\\\x95\x5C",
        "\x95\x5C..\\..\\sibling\\victim.txt",
        "\x83\\..\\..\\sibling\\victim.txt",
        "sub\\..",
        "a.txt\x95",
        "a/../../sibling/victim.txt",
        "con",
        "sub\\*.txt",
        std::string(259, 'p'),
        std::string(260, 'p'),
        std::string(258, 'p') + "\x95\x5C",
    };
};

TEST_F(BadInputTest, MutatedDataFilesNeverWriteOutsideTheInstallation)
{
    const std::uint64_t seed = EnvironmentNumber("UPDATER_FUZZ_SEED", 20240607);
    const std::uint64_t first = EnvironmentNumber("UPDATER_FUZZ_FIRST", 0);
    const std::uint64_t count = EnvironmentNumber("UPDATER_FUZZ_COUNT", 3000);
    std::printf("bad input: seed %llu, inputs %llu to %llu\n", static_cast<unsigned long long>(seed),
                static_cast<unsigned long long>(first), static_cast<unsigned long long>(first + count - 1));
    Tally tally;
    for (std::uint64_t i = first; i < first + count; ++i) {
        Random random(seed * 0x100000001B3ull + i);
        Bytes update = BaseUpdate();
        Bytes ledger = BaseLedger();
        const std::size_t target = random.Below(10);
        for (std::size_t edits = 1 + random.Below(3); edits > 0; --edits) {
            if (target < 6 || target == 9)
                MutateUpdate(update, random);
            if (target >= 6)
                MutateLedger(ledger, random);
        }
        SCOPED_TRACE("replay: UPDATER_FUZZ_SEED=" + std::to_string(seed) + " UPDATER_FUZZ_FIRST=" + std::to_string(i)
                     + " UPDATER_FUZZ_COUNT=1");
        RunOne(update, ledger, tally);
        if (HasFatalFailure())
            return;
    }
    std::printf("bad input: %zu inputs; refused with the update information message %zu, as not installed %zu; "
                "passes run %zu (%zu true, %zu false), ledgers saved %zu; nothing written outside the installation\n",
                tally.inputs, tally.refusedUpdateInfo, tally.refusedNotInstalled, tally.passesTrue + tally.passesFalse,
                tally.passesTrue, tally.passesFalse, tally.ledgersSaved);
    // The generator must reach every stage, or the suite proves little.
    EXPECT_GT(tally.refusedUpdateInfo, 0u);
    EXPECT_GT(tally.refusedNotInstalled, 0u);
    EXPECT_GT(tally.passesTrue + tally.passesFalse, 0u);
}

} // namespace
