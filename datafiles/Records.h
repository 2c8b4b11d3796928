#pragma once

// Byte layouts of the update information file (Updateinf.dat) and of the
// uninstall ledger (Uninstallinf.dat). Both are little-endian, with 32-bit
// integers and NUL-terminated byte strings in fixed-size fields; neither has a
// magic number, version or checksum. The structs map the files directly, so
// their sizes and offsets are pinned below.

#include <cstddef>
#include <cstdint>

constexpr std::size_t PathFieldSize = 260;
constexpr std::size_t TextFieldSize = 128;

// One file or folder, relative to a folder root. A folder's Path ends with the byte 0x5C.
struct FileEntry {
    char Path[PathFieldSize];
    std::uint32_t Size;
    std::uint32_t Extra; // carried from the update into the ledger, never interpreted
};

struct UpdateInfoHeader {
    char ProductName[TextFieldSize];
    char RegistryKey[TextFieldSize];       // subkey under HKEY_CURRENT_USER
    char RegistryValueName[TextFieldSize]; // its value holds the installation folder
    std::uint32_t EntryCount;
    unsigned char Reserved[8];
};

// Only the three counters are interpreted; every other byte is carried
// through unchanged when the ledger is written back.
struct LedgerHeader {
    unsigned char Reserved1[128];
    std::uint32_t EntryCount;
    std::uint32_t FileCount;
    std::uint32_t TotalSize; // wraps modulo 2^32
    unsigned char Reserved2[5312];
};

static_assert(sizeof(FileEntry) == 268);
static_assert(offsetof(FileEntry, Size) == 260);
static_assert(offsetof(FileEntry, Extra) == 264);

static_assert(sizeof(UpdateInfoHeader) == 396);
static_assert(offsetof(UpdateInfoHeader, RegistryKey) == 128);
static_assert(offsetof(UpdateInfoHeader, RegistryValueName) == 256);
static_assert(offsetof(UpdateInfoHeader, EntryCount) == 384);
static_assert(offsetof(UpdateInfoHeader, Reserved) == 388);

static_assert(sizeof(LedgerHeader) == 5452);
static_assert(offsetof(LedgerHeader, EntryCount) == 128);
static_assert(offsetof(LedgerHeader, FileCount) == 132);
static_assert(offsetof(LedgerHeader, TotalSize) == 136);
static_assert(offsetof(LedgerHeader, Reserved2) == 140);

// The record arrays are sized as count x 268 in 32 bits; this is the largest
// count whose array size still fits.
constexpr std::uint32_t MaxRecordCount = 16025997;
static_assert(std::uint64_t{MaxRecordCount} * sizeof(FileEntry) <= 0xFFFFFFFFu);
static_assert(std::uint64_t{MaxRecordCount + 1} * sizeof(FileEntry) > 0xFFFFFFFFu);
