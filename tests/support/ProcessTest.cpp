// The tests' process runner on ordinary system programs: what the oracle and kelvor-cli tests
// rely on it for.
#include "support/Process.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kelvor::test {
namespace {

using namespace std::chrono_literals;

TEST(RunProcess, KeepsOutputAndErrorApartWithTheExitCode) {
    TempDir dir;
    WriteFile(dir / "here.txt", "x");
    ProcessOptions options;
    options.workDir = dir.path();
    const auto r = RunProcess({"ls", "here.txt", "missing.txt"}, options);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "here.txt\n");
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos) << r.err;
    EXPECT_FALSE(r.timedOut);
}

TEST(RunProcess, ArgumentsAreNeverParsedByAShell) {
    const auto r = RunProcess({"echo", "a b; echo $HOME 'q'", "*"});
    EXPECT_EQ(r.out, "a b; echo $HOME 'q' *\n");
}

TEST(RunProcess, FeedsStandardInputAndReadsMoreThanAPipeHolds) {
    ProcessOptions options;
    options.input = std::string(3 * 1024 * 1024, 'k');
    const auto r = RunProcess({"cat"}, options);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, *options.input);
    // Without input the program reads an empty standard input and does not wait for a terminal.
    EXPECT_EQ(RunProcess({"cat"}).out, "");
}

TEST(RunProcess, SetsAndRemovesEnvironmentVariablesForTheProgramOnly) {
    ProcessOptions options;
    options.environment["KELVOR_RUNNER_TEST"] = "yes";
    options.environment["HOME"] = std::nullopt;
    const auto r = RunProcess({"env"}, options);
    EXPECT_NE(r.out.find("\nKELVOR_RUNNER_TEST=yes\n"), std::string::npos);
    EXPECT_EQ(r.out.find("\nHOME="), std::string::npos);
    EXPECT_EQ(std::getenv("KELVOR_RUNNER_TEST"), nullptr);
}

TEST(RunProcess, KillsAProgramThatOutlivesItsTimeLimit) {
    ProcessOptions options;
    options.timeout = 200ms;
    const auto start = std::chrono::steady_clock::now();
    const auto r = RunProcess({"sleep", "30"}, options);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST(RunProcess, AMissingProgramDoesNotStart) {
    const auto r = RunProcess({"kelvor-no-such-program"});
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_FALSE(RunProcess({}).started);
}

}  // namespace
}  // namespace kelvor::test
