#pragma once

// The rules that a data file must meet before the updater uses it. The
// updater and the package tool share them, so both accept the same files.

#include "MbcsClassifier.h"
#include "Records.h"

#include <cstddef>
#include <cstdint>

enum class RecordProblem {
    None,
    UnterminatedProductName,
    UnterminatedRegistryKey,
    UnterminatedRegistryValueName,
    UnterminatedPath,
    EmptyPath,
    AbsolutePath,       // drive letter, leading separator, or any colon
    DotComponent,       // ".", "..", or a name of dots and spaces only
    EmptyComponent,     // two separators in a row
    ForbiddenCharacter, // control byte, forward slash, or one of * ? " < > |
    TrailingDotOrSpace, // Windows would store the name without them
    IllegalByte,        // not a character of the code page
    DeviceName          // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension
};

// English text for a tool's diagnostics; the updater itself shows none.
const char* DescribeProblem(RecordProblem problem);

bool IsTerminated(const char* field, std::size_t size);

RecordProblem CheckUpdateInfoHeader(const UpdateInfoHeader& header);

// An update path must stay inside the folder it is appended to. Separators are
// found with the classifier, so a trail byte 0x5C is part of a name.
RecordProblem CheckUpdatePath(const char (&path)[PathFieldSize], const MbcsClassifier& classifier);

// Both counts, and their sum for the ledger's array, within MaxRecordCount,
// without wrapping in 32 bits.
bool RecordCountsFit(std::uint32_t updateCount, std::uint32_t ledgerCount);

// Bytes that a file with this header size and record count must hold at least.
constexpr std::uint64_t RequiredFileSize(std::size_t headerSize, std::uint32_t count)
{
    return headerSize + std::uint64_t{count} * sizeof(FileEntry);
}
