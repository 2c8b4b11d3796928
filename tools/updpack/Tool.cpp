#include "Tool.h"

#include "DataFile.h"
#include "DataFileText.h"
#include "PackageBuild.h"
#include "PackageVerify.h"
#include "ToolError.h"

#include <filesystem>
#include <map>
#include <new>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

const char* const UsageText =
    "usage: updpack build --product NAME --key SUBKEY --value VALUENAME --from DIR --out OUTDIR\n"
    "                    [--base OLDDIR] [--updater EXE]\n"
    "       updpack verify PKGDIR\n"
    "       updpack show [--update | --ledger] [--check] FILE\n"
    "       updpack check [--update | --ledger] FILE\n"
    "       updpack --help\n"
    "\n"
    "build  writes OUTDIR/Updateinf.dat and a copy of DIR in OUTDIR/data. NAME is\n"
    "       the product name shown to the user; SUBKEY under HKEY_CURRENT_USER and\n"
    "       its value VALUENAME hold the installation folder. Entries are listed\n"
    "       depth first, each folder before what it holds, and the names within a\n"
    "       folder in ascending byte order of their code page 932 form. OUTDIR must\n"
    "       not exist, or be empty; it is written whole or not at all. Every\n"
    "       record's Extra value is 0.\n"
    "       --base packages only the files of DIR that OLDDIR (a previous release\n"
    "       or an installed folder) lacks or holds with other bytes, with the\n"
    "       folders they lie in; meant for installations of that base. Files of\n"
    "       OLDDIR that DIR lacks are listed as warnings: an update cannot remove\n"
    "       them. --updater copies EXE into OUTDIR as Update.exe.\n"
    "verify checks PKGDIR/Updateinf.dat against PKGDIR/data with the rules of\n"
    "       build: one line per problem and exit 1; warnings (something in data\n"
    "       that no record lists, no Update.exe) alone exit 0.\n"
    "show   prints the header and the records of Updateinf.dat or Uninstallinf.dat\n"
    "       (the kind is told by the file's name unless --update or --ledger is\n"
    "       given), and checks a ledger's file count and total size against its\n"
    "       records. With --check it then checks the file as check does.\n"
    "check  exits with 1 and says why when the updater would refuse the file.\n"
    "\n"
    "Exit codes: 0 done, 1 failed, 2 wrong command line.\n";

namespace {

struct FileCommand {
    bool check = false;
    bool haveKind = false;
    DataFileKind kind = DataFileKind::UpdateInfo;
    fs::path file;
};

bool IsHelp(const std::string& arg)
{
    return arg == "--help" || arg == "-h";
}

struct HelpRequested {};

BuildRequest ParseBuild(const std::vector<std::string>& args)
{
    std::map<std::string, std::string> values{{"--product", {}}, {"--key", {}},  {"--value", {}},  {"--from", {}},
                                              {"--out", {}},     {"--base", {}}, {"--updater", {}}};
    const std::set<std::string> optional{"--base", "--updater"};
    std::map<std::string, bool> seen;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsHelp(arg))
            throw HelpRequested();
        if (values.count(arg) == 0)
            throw UsageError("build: unknown argument '" + arg + "'");
        if (seen[arg])
            throw UsageError("build: " + arg + " is given twice");
        if (i + 1 >= args.size())
            throw UsageError("build: " + arg + " needs a value");
        seen[arg] = true;
        values[arg] = args[++i];
    }
    for (const auto& [option, value] : values)
        if (!seen[option] && optional.count(option) == 0)
            throw UsageError("build: " + option + " is missing");
    for (const std::string& option : optional)
        if (seen[option] && values[option].empty())
            throw UsageError("build: " + option + " needs a value");
    return {values["--product"],
            values["--key"],
            values["--value"],
            fs::u8path(values["--from"]),
            fs::u8path(values["--out"]),
            fs::u8path(values["--base"]),
            fs::u8path(values["--updater"])};
}

FileCommand ParseFileCommand(const std::vector<std::string>& args, bool allowCheck)
{
    const std::string& command = args[0];
    FileCommand parsed;
    bool haveFile = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsHelp(arg))
            throw HelpRequested();
        if (arg == "--update" || arg == "--ledger") {
            const DataFileKind kind = arg == "--update" ? DataFileKind::UpdateInfo : DataFileKind::Ledger;
            if (parsed.haveKind && parsed.kind != kind)
                throw UsageError(command + ": give either --update or --ledger, not both");
            parsed.haveKind = true;
            parsed.kind = kind;
        } else if (arg == "--check" && allowCheck) {
            parsed.check = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError(command + ": unknown option '" + arg + "'");
        } else if (haveFile) {
            throw UsageError(command + ": only one FILE, please");
        } else {
            parsed.file = fs::u8path(arg);
            haveFile = true;
        }
    }
    if (!haveFile)
        throw UsageError(command + ": FILE is missing");
    if (!parsed.haveKind && !KindFromFileName(parsed.file, &parsed.kind))
        throw UsageError(command + ": cannot tell the kind of " + parsed.file.u8string()
                         + " from its name; give --update or --ledger");
    return parsed;
}

fs::path ParseVerify(const std::vector<std::string>& args)
{
    if (args.size() == 2 && IsHelp(args[1]))
        throw HelpRequested();
    if (args.size() != 2 || (args[1].size() > 1 && args[1][0] == '-'))
        throw UsageError("verify: give one PKGDIR");
    return fs::u8path(args[1]);
}

int Verify(const fs::path& packageDir, Output& output)
{
    const std::string shown = packageDir.u8string();
    if (!fs::is_directory(packageDir))
        throw ToolError(shown + ": not a folder");
    const PackageReport report = VerifyPackage(packageDir);
    for (const std::string& problem : report.problems)
        output.Err("updpack: " + shown + ": " + problem + "\n");
    for (const std::string& warning : report.warnings)
        output.Err("updpack: " + shown + ": warning: " + warning + "\n");
    if (!report.problems.empty())
        return 1;
    output.Out(shown + ": " + report.summary + ", all in data as listed\n");
    return 0;
}

// Problems go to stderr; the result is the exit code.
int ReportProblems(const FileCommand& command, const DataFile& data, Output& output)
{
    const std::vector<std::string> problems = CheckDataFile(data);
    for (const std::string& problem : problems)
        output.Err("updpack: " + command.file.u8string() + ": " + problem + "\n");
    return problems.empty() ? 0 : 1;
}

int Dispatch(const std::vector<std::string>& args, Output& output)
{
    if (args.empty())
        throw UsageError("no command given");
    const std::string& command = args[0];
    if (IsHelp(command))
        throw HelpRequested();
    if (command == "build") {
        BuildPackage(ParseBuild(args), output);
        return 0;
    }
    if (command == "verify")
        return Verify(ParseVerify(args), output);
    if (command == "show" || command == "check") {
        const FileCommand parsed = ParseFileCommand(args, command == "show");
        const DataFile data = LoadDataFile(parsed.file, parsed.kind);
        if (command == "check")
            return ReportProblems(parsed, data, output);
        output.Out(FormatDataFile(data, parsed.file.filename().u8string()));
        return parsed.check ? ReportProblems(parsed, data, output) : 0;
    }
    throw UsageError("unknown command '" + command + "'");
}

} // namespace

int RunTool(const std::vector<std::string>& args, Output& output)
{
    try {
        return Dispatch(args, output);
    } catch (const HelpRequested&) {
        output.Out(UsageText);
        return 0;
    } catch (const UsageError& error) {
        output.Err(std::string("updpack: ") + error.what() + "\nTry 'updpack --help'.\n");
        return 2;
    } catch (const ToolError& error) {
        output.Err(std::string("updpack: ") + error.what() + "\n");
        return 1;
    } catch (const fs::filesystem_error& error) {
        std::string message = "updpack: ";
        if (!error.path1().empty())
            message += error.path1().u8string() + ": ";
        output.Err(message + error.code().message() + "\n");
        return 1;
    } catch (const std::bad_alloc&) {
        output.Err("updpack: out of memory\n");
        return 1;
    }
}
