#pragma once

#include "Records.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

enum class DataFileKind { UpdateInfo, Ledger };

// Updateinf.dat or Uninstallinf.dat, as far as the file holds it.
struct DataFile {
    DataFileKind kind = DataFileKind::UpdateInfo;
    std::uint64_t length = 0;
    UpdateInfoHeader update{}; // bytes the file does not supply stay zero, as in the updater
    LedgerHeader ledger{};
    std::vector<FileEntry> records; // those present in the file, at most EntryCount

    std::size_t HeaderSize() const;
    std::uint32_t EntryCount() const;
};

// Kind by file name, compared without regard to case; false for any other name.
bool KindFromFileName(const std::filesystem::path& file, DataFileKind* kind);

// Throws ToolError when the file cannot be read.
DataFile LoadDataFile(const std::filesystem::path& file, DataFileKind kind);

// Why the updater would refuse the file, one line each; empty when it takes it.
std::vector<std::string> CheckDataFile(const DataFile& file);

// What the records add up to. A path whose last byte is 0x5C is a folder,
// exactly as the updater decides.
struct RecordTally {
    std::uint32_t folders = 0;
    std::uint32_t files = 0;
    std::uint64_t bytes = 0;        // exact
    std::uint32_t wrappedBytes = 0; // modulo 2^32, as the ledger's TotalSize counts
};
RecordTally TallyRecords(const std::vector<FileEntry>& records);

// The Path field up to its terminator, or whole when it has none.
std::string RecordPath(const FileEntry& record);
