#pragma once

// Replaces one file whole. The new contents are written to a temporary file
// created beside the destination, flushed, and renamed over the destination
// only when complete, so the destination is always the old file or the new
// one. Everything that could go wrong before the rename leaves the
// destination as it was, attributes included, and removes the temporary.
//
// Temporary names have the form ~Update-NNNN.tmp (NNNN from 0000 to 0015):
// sixteen bytes, as long as "Uninstallinf.dat", so the ledger needs no more
// room than its own name. Each candidate is created with CREATE_NEW, so a
// name that already exists, file or link, is never opened, truncated or
// removed; the next name of the series is tried instead.

#include "File.h"
#include "PathHelpers.h"
#include "RealLocation.h"

#include <cstddef>

constexpr std::size_t TemporaryNameLength = 16;
constexpr unsigned TemporaryNameCount = 16;

// The temporary path of the given attempt (0 to TemporaryNameCount - 1) beside
// destination: its folder, up to and including the last separator, followed by
// the temporary name. False when that does not fit a path buffer.
bool FormTemporaryPath(PathBuffer& temporary, const char* destination, unsigned attempt);

class CFileReplacement {
public:
    // The new contents are written to contents once Begin has opened it.
    explicit CFileReplacement(CFile& contents) : m_contents(contents) {}
    // A replacement that was begun and not committed is abandoned.
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    // Creates the temporary file beside destination and opens the contents
    // stream on it. False with the system's last error when it cannot:
    // ERROR_FILENAME_EXCED_RANGE when the paths do not fit, ERROR_FILE_EXISTS
    // when every temporary name is taken, or the error of the creation. Given
    // within, the temporary must really lie inside that folder (else
    // ErrorLiesOutside), and the destination's attributes are changed only
    // where it really lies inside: a link leading out is replaced as a link.
    bool Begin(const char* destination, const CRealLocation* within = nullptr);
    // Flushes the contents and renames them over the destination through the
    // temporary's own handle, so a name swapped after Begin is never renamed. A rename
    // that meets a sharing violation or denied access (a scanner or indexer
    // holding one of the files for a moment) is retried for about a second.
    // False with the system's last error; the destination is then as it was
    // and the temporary is gone.
    bool Commit();
    // Removes the temporary through its handle, if one is pending, and closes
    // the contents stream.
    void Abandon();

    const char* TemporaryPath() const { return m_temporary; }

private:
    bool RenameOverDestination();
    bool RenameThroughHandle();
    // Reads the destination's attributes and, when flags is not zero, sets
    // them, both through a handle whose real location was checked; false
    // when the destination is missing or lies outside.
    bool DestinationAttributes(DWORD& attributes, DWORD flags) const;

    CFile& m_contents;
    PathBuffer m_destination = {};
    PathBuffer m_temporary = {};
    const CRealLocation* m_within = nullptr;
    bool m_pending = false; // a temporary of ours exists and is not in place yet
};
