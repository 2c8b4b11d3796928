#pragma once

#include "DataFile.h"

#include <string>

// The header, the records and their tally as UTF-8 text, one record a line.
// The ledger's FileCount and TotalSize are compared with what its records add
// up to, and a mismatch is said on the line of the counter.
std::string FormatDataFile(const DataFile& file, const std::string& name);
