// The main of every test program: GoogleTest's own, plus one line per skipped
// test with its reason. ctest marks a program skipped by that line, which is
// printed only when nothing failed, so a skip never hides a failure.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

class SkipReport : public ::testing::EmptyTestEventListener {
public:
    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        if (!result.skipped())
            return;
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "";
        m_reasons[name] = result.message();
    }

    void OnTestProgramEnd(const ::testing::UnitTest& unit) override
    {
        if (!unit.Passed())
            return;
        for (const auto& [name, reason] : m_reasons) {
            std::string line = reason;
            for (char& c : line)
                if (c == '\n' || c == '\r')
                    c = ' ';
            std::printf("skipped test: %s: %s\n", name.c_str(), line.c_str());
        }
        std::fflush(stdout);
    }

private:
    std::map<std::string, std::string> m_reasons;
};

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new SkipReport);
    return RUN_ALL_TESTS();
}
