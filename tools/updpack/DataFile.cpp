#include "DataFile.h"

#include "CodePage.h"
#include "MbcsClassifier.h"
#include "ToolError.h"
#include "Validation.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string RecordLabel(std::size_t index, const FileEntry& record)
{
    return "record " + std::to_string(index) + " (" + Cp932ToUtf8(RecordPath(record)) + ")";
}

} // namespace

std::size_t DataFile::HeaderSize() const
{
    return kind == DataFileKind::UpdateInfo ? sizeof(UpdateInfoHeader) : sizeof(LedgerHeader);
}

std::uint32_t DataFile::EntryCount() const
{
    return kind == DataFileKind::UpdateInfo ? update.EntryCount : ledger.EntryCount;
}

bool KindFromFileName(const fs::path& file, DataFileKind* kind)
{
    const std::string name = Lower(file.filename().u8string());
    if (name == "updateinf.dat")
        *kind = DataFileKind::UpdateInfo;
    else if (name == "uninstallinf.dat")
        *kind = DataFileKind::Ledger;
    else
        return false;
    return true;
}

DataFile LoadDataFile(const fs::path& file, DataFileKind kind)
{
    DataFile data;
    data.kind = kind;
    std::error_code error;
    data.length = fs::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in)
        throw ToolError(file.u8string() + ": cannot be read");

    char* header = kind == DataFileKind::UpdateInfo ? reinterpret_cast<char*>(&data.update)
                                                    : reinterpret_cast<char*>(&data.ledger);
    in.read(header, static_cast<std::streamsize>(data.HeaderSize()));
    // Only the records present are read: the count may be anything.
    const std::uint64_t present =
        data.length > data.HeaderSize() ? (data.length - data.HeaderSize()) / sizeof(FileEntry) : 0;
    data.records.resize(static_cast<std::size_t>(std::min<std::uint64_t>(present, data.EntryCount())));
    in.read(reinterpret_cast<char*>(data.records.data()),
            static_cast<std::streamsize>(data.records.size() * sizeof(FileEntry)));
    if (in.bad() || static_cast<std::uint64_t>(in.gcount()) != data.records.size() * sizeof(FileEntry))
        throw ToolError(file.u8string() + ": cannot be read");
    return data;
}

std::vector<std::string> CheckDataFile(const DataFile& file)
{
    std::vector<std::string> problems;
    const std::uint32_t count = file.EntryCount();
    if (file.length < file.HeaderSize())
        problems.push_back("the file is " + std::to_string(file.length) + " bytes, shorter than its "
                           + std::to_string(file.HeaderSize()) + "-byte header");
    const bool countFits =
        file.kind == DataFileKind::UpdateInfo ? RecordCountsFit(count, 0) : RecordCountsFit(0, count);
    if (!countFits)
        problems.push_back("EntryCount " + std::to_string(count) + " is over the limit of "
                           + std::to_string(MaxRecordCount));
    const std::uint64_t required = RequiredFileSize(file.HeaderSize(), count);
    if (file.length >= file.HeaderSize() && file.length < required)
        problems.push_back("EntryCount " + std::to_string(count) + " needs " + std::to_string(required)
                           + " bytes, but the file is " + std::to_string(file.length));
    if (file.kind == DataFileKind::Ledger)
        return problems;

    const RecordProblem headerProblem = CheckUpdateInfoHeader(file.update);
    if (headerProblem != RecordProblem::None)
        problems.push_back(std::string("header: ") + DescribeProblem(headerProblem));
    const MbcsClassifier classifier = MbcsClassifier::ForKnownCodePage(932);
    for (std::size_t i = 0; i < file.records.size(); ++i) {
        const RecordProblem problem = CheckUpdatePath(file.records[i].Path, classifier);
        if (problem != RecordProblem::None)
            problems.push_back(RecordLabel(i, file.records[i]) + ": " + DescribeProblem(problem));
    }
    return problems;
}

RecordTally TallyRecords(const std::vector<FileEntry>& records)
{
    RecordTally tally;
    for (const FileEntry& record : records) {
        const std::string path = RecordPath(record);
        if (!path.empty() && path.back() == '\\') {
            ++tally.folders;
            continue;
        }
        ++tally.files;
        tally.bytes += record.Size;
        tally.wrappedBytes += record.Size;
    }
    return tally;
}

std::string RecordPath(const FileEntry& record)
{
    const void* end = std::memchr(record.Path, '\0', sizeof record.Path);
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const char*>(end) - record.Path) : sizeof record.Path;
    return std::string(record.Path, length);
}
