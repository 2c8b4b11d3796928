#include "Output.h"
#include "Tool.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

// Arguments arrive in the platform's own form; the tool works in UTF-8.
template <typename Char>
int RunWithArguments(int argc, Char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(std::filesystem::path(argv[i]).u8string());
    ConsoleOutput console;
    return RunTool(args, console);
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
{
    return RunWithArguments(argc, argv);
}
#else
int main(int argc, char** argv)
{
    return RunWithArguments(argc, argv);
}
#endif
