#include "PackageBuild.h"

#include "CodePage.h"
#include "PackageDelta.h"
#include "PackageTree.h"
#include "PackageWriter.h"
#include "ToolError.h"
#include "Validation.h"

#include <cstring>

namespace {

void SetText(char (&field)[TextFieldSize], const std::string& utf8, const char* what)
{
    if (utf8.empty())
        throw ToolError(std::string(what) + " is empty");
    const std::optional<std::string> cp932 = Utf8ToCp932(utf8);
    if (!cp932)
        throw ToolError(std::string(what) + " \"" + utf8 + "\" cannot be written in code page 932");
    if (cp932->size() >= TextFieldSize)
        throw ToolError(std::string(what) + " \"" + utf8 + "\" is " + std::to_string(cp932->size())
                        + " bytes in code page 932, over the limit of " + std::to_string(TextFieldSize - 1));
    std::memcpy(field, cp932->data(), cp932->size());
}

} // namespace

UpdateInfoHeader MakeUpdateInfoHeader(const BuildRequest& request)
{
    UpdateInfoHeader header;
    std::memset(&header, 0, sizeof header);
    SetText(header.ProductName, request.productName, "the product name");
    SetText(header.RegistryKey, request.registryKey, "the registry key");
    SetText(header.RegistryValueName, request.registryValueName, "the registry value name");
    const RecordProblem problem = CheckUpdateInfoHeader(header);
    if (problem != RecordProblem::None)
        throw ToolError(std::string("the header would be refused: ") + DescribeProblem(problem));
    return header;
}

void BuildPackage(const BuildRequest& request, Output& output)
{
    const UpdateInfoHeader header = MakeUpdateInfoHeader(request);
    std::vector<PackageItem> items = ScanPackageTree(request.from);
    if (request.base.empty()) {
        WritePackage(request.out, request.from, header, items, request.updater);
        return;
    }
    const PackageDelta delta = SelectDelta(request.base, request.from, items);
    if (delta.items.empty())
        throw ToolError(request.from.u8string() + ": no file differs from the base " + request.base.u8string()
                        + ", so there is nothing to package");
    WritePackage(request.out, request.from, header, delta.items, request.updater);
    output.Out("base     " + request.base.u8string() + "\n");
    output.Out("kept     " + std::to_string(delta.keptFiles) + " files, " + std::to_string(delta.keptBytes)
               + " bytes, and " + std::to_string(delta.keptFolders) + " folders\n");
    output.Out("skipped  " + std::to_string(delta.skippedFiles) + " files, " + std::to_string(delta.skippedBytes)
               + " bytes, the same in the base\n");
    for (const std::string& file : delta.baseOnly)
        output.Err("updpack: warning: " + file + " is in the base but not in " + request.from.u8string()
                   + "; an update cannot remove it\n");
}
