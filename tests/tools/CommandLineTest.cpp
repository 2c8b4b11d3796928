#include "ToolTestSupport.h"

TEST(CommandLine, HelpGoesToStandardOutput)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--help"},
                                                                                      {"-h"},
                                                                                      {"build", "--help"},
                                                                                      {"show", "--help"},
                                                                                      {"check", "--help"}}) {
        const RunResult result = RunUpdpack(args);
        EXPECT_EQ(result.code, 0) << args[0];
        EXPECT_EQ(result.out, UsageText);
        EXPECT_EQ(result.err, "");
    }
}

TEST(CommandLine, UsageErrorsExitWithTwoAndSayWhatIsWrong)
{
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{}, "no command given"},
        {{"pack"}, "unknown command 'pack'"},
        {{"build", "--product", "P", "--key", "K", "--value", "V", "--from", "src"}, "build: --out is missing"},
        {{"build", "--product"}, "build: --product needs a value"},
        {{"build", "--product", "P", "--product", "Q"}, "build: --product is given twice"},
        {{"build", "--extra", "1"}, "build: unknown argument '--extra'"},
        {{"show"}, "show: FILE is missing"},
        {{"show", "Updateinf.dat", "Uninstallinf.dat"}, "show: only one FILE"},
        {{"show", "--update", "--ledger", "x.dat"}, "give either --update or --ledger"},
        {{"show", "x.dat"}, "cannot tell the kind of x.dat from its name"},
        {{"check", "--check", "Updateinf.dat"}, "check: unknown option '--check'"},
    };
    for (const auto& c : cases) {
        const RunResult result = RunUpdpack(c.args);
        EXPECT_EQ(result.code, 2) << c.message;
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("Try 'updpack --help'."), std::string::npos) << result.err;
    }
}
