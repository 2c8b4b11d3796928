#pragma once

// The names that the updater and the package tool agree on.

// Beside the updater: the update information, and the folder of the update's files.
constexpr char UpdateInfoFileName[] = "Updateinf.dat";
constexpr char SourceFolderName[] = "data";
// In the installation folder: the uninstall ledger, which the updater keeps itself.
constexpr char LedgerFileName[] = "Uninstallinf.dat";
