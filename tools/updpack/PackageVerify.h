#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct PackageReport {
    std::vector<std::string> problems; // the updater would refuse the package or fail on it
    std::vector<std::string> warnings; // it would run, but the package is not what was meant
    std::string summary;               // what was checked, for the user
};

// Checks packageDir/Updateinf.dat against packageDir/data with the rules that
// build applies: every record passes the updater's checks, no two paths are
// taken for one, each record's folder is listed before it, every listed file
// is in data with the listed size and every listed folder is a folder there.
// Warns of anything in data that no record lists, and of a missing Update.exe.
PackageReport VerifyPackage(const std::filesystem::path& packageDir);
