#include "DataFileText.h"

#include "CodePage.h"

namespace {

std::string Field(const char* field, std::size_t size)
{
    std::size_t length = 0;
    while (length < size && field[length] != '\0')
        ++length;
    return Cp932ToUtf8(std::string(field, length));
}

std::string Line(const char* label, const std::string& value)
{
    std::string line = label;
    line.resize(20, ' ');
    return line + value + "\n";
}

std::string RightAligned(std::uint64_t value, std::size_t width)
{
    std::string text = std::to_string(value);
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string Plural(std::uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string TallyText(const RecordTally& tally)
{
    return Plural(tally.folders, "folder", "folders") + ", " + Plural(tally.files, "file", "files") + ", "
        + Plural(tally.bytes, "byte", "bytes");
}

} // namespace

std::string FormatDataFile(const DataFile& file, const std::string& name)
{
    const RecordTally tally = TallyRecords(file.records);
    std::string text;
    if (file.kind == DataFileKind::UpdateInfo) {
        text += name + ": update information, " + Plural(file.length, "byte", "bytes") + "\n";
        text += Line("Product name", Field(file.update.ProductName, sizeof file.update.ProductName));
        text += Line("Registry key", Field(file.update.RegistryKey, sizeof file.update.RegistryKey));
        text += Line("Registry value", Field(file.update.RegistryValueName, sizeof file.update.RegistryValueName));
        text += Line("Entries", std::to_string(file.update.EntryCount) + " (" + TallyText(tally) + ")");
    } else {
        text += name + ": uninstall ledger, " + Plural(file.length, "byte", "bytes") + "\n";
        text += Line("Entries", std::to_string(file.ledger.EntryCount) + " (" + TallyText(tally) + ")");
        std::string files = std::to_string(file.ledger.FileCount);
        if (file.ledger.FileCount != tally.files)
            files += " MISMATCH: the records hold " + Plural(tally.files, "file", "files");
        text += Line("File count", files);
        std::string total = std::to_string(file.ledger.TotalSize);
        if (file.ledger.TotalSize != tally.wrappedBytes)
            total += " MISMATCH: the file records add up to " + std::to_string(tally.wrappedBytes) + " (32-bit sum)";
        text += Line("Total size", total);
    }
    if (file.records.size() < file.EntryCount())
        text += "The file holds only " + std::to_string(file.records.size()) + " of its "
            + std::to_string(file.EntryCount()) + " records.\n";
    if (file.records.empty())
        return text;
    text += "\n      Size       Extra  Path\n";
    for (const FileEntry& record : file.records)
        text += RightAligned(record.Size, 10) + "  " + RightAligned(record.Extra, 10) + "  "
            + Cp932ToUtf8(RecordPath(record)) + "\n";
    return text;
}
