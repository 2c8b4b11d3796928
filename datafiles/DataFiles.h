#pragma once

// Process-wide state of one update run and the load and save operations of
// both data files. The headers are zero at process start; the arrays belong to
// the driver, which frees them with FreeEntryArrays.

#include "File.h"
#include "RealLocation.h"
#include "Records.h"

extern UpdateInfoHeader g_UpdateInfoHeader;
extern LedgerHeader g_LedgerHeader;
// g_UpdateInfoHeader.EntryCount records, in file order.
extern FileEntry* UpdateEntries;
// Room for both counts; the first g_LedgerHeader.EntryCount records are valid.
extern FileEntry* LedgerEntries;

// False when the file cannot be opened or is refused; nothing is loaded then.
bool LoadUpdateInfo(CFile& file, const char* path);
// Sizes LedgerEntries from both counts, so LoadUpdateInfo comes first. Given
// within, a ledger that does not really lie inside that folder (a link leading
// out) is refused, so an elevated run never reads an outside file into it.
bool LoadLedger(CFile& file, const char* path, const CRealLocation* within = nullptr);
// Replaces the ledger file whole, or leaves the old one untouched and returns
// false with the system's last error. Given within, the temporary must really
// lie inside it, and a ledger that is a link is replaced as a link.
bool SaveLedger(CFile& file, const char* path, const CRealLocation* within = nullptr);

void FreeEntryArrays();
