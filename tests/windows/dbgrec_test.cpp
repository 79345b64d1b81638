// dbgrec, the debugger-output recorder, run as a real process under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_runner.h"

namespace {

using namespace qel::testhost;

RunResult RunDbgrec(const std::wstring& arguments) { return Run(L"dbgrec.exe", arguments); }

std::wstring Child() { return L"\"" + BinPath(L"debug_lines_child.exe") + L"\""; }

TEST(Dbgrec, PrintsEachDebuggerLineOnceWithoutItsNewline) {
    const RunResult run = RunDbgrec(Child());
    EXPECT_EQ("first debugger line\nsecond debugger line\n", run.output);
    EXPECT_EQ("", run.errors);
}

TEST(Dbgrec, EndsWithTheProgramsExitCode) { EXPECT_EQ(7u, RunDbgrec(Child()).exitCode); }

TEST(Dbgrec, KeepsTheProgramsOwnOutputOffItsOutput) {
    const RunResult run = RunDbgrec(Child());
    EXPECT_EQ(std::string::npos, run.output.find("the child's own output"));
    EXPECT_EQ(std::string::npos, run.errors.find("the child's own output"));
}

TEST(Dbgrec, PassesArgumentsOnUnchanged) {
    // Quoted for dbgrec's own command line; dbgrec must quote them again for the program.
    const RunResult run =
        RunDbgrec(Child() + LR"( plain "with blank" "" "quote\"inside" "trailing\\" back\slash)");
    EXPECT_EQ("first debugger line\n"
              "second debugger line\n"
              "argument <plain>\n"
              "argument <with blank>\n"
              "argument <>\n"
              "argument <quote\"inside>\n"
              "argument <trailing\\>\n"
              "argument <back\\slash>\n",
              run.output);
    EXPECT_EQ(7u, run.exitCode);
}

TEST(Dbgrec, MissingProgramFailsWithCode127AndTheSystemError) {
    const std::wstring missing = BinPath(L"no_such_program.exe");
    const RunResult run = RunDbgrec(L"\"" + missing + L"\"");
    EXPECT_EQ(127u, run.exitCode);
    EXPECT_EQ("", run.output);
    EXPECT_EQ("dbgrec: cannot start " + std::string(missing.begin(), missing.end()) + ": error 2\n",
              run.errors);
}

TEST(Dbgrec, NoProgramShowsUsageWithCode2) {
    const RunResult run = RunDbgrec(L"");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ("", run.output);
    EXPECT_EQ("usage: dbgrec PROGRAM [ARGS...]\n", run.errors);
}

} // namespace
