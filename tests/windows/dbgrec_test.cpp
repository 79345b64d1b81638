// dbgrec, the debugger-output recorder, run as a real process under Wine.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "host_runner.h"

namespace {

using namespace qel::testhost;

// Each debugger line once, without its newline, and not the program's own output; the arguments reach the
// program unchanged (quoted for dbgrec's own command line, dbgrec must quote them again); its exit code is
// dbgrec's.
TEST(Dbgrec, PrintsEachDebuggerLineOnceAndEndsWithTheProgramsExitCode) {
    const RunResult run = qel::testhost::Run(
        L"dbgrec.exe", L"\"" + BinPath(L"debug_lines_child.exe") +
                           LR"(" plain "with blank" "" "quote\"inside" "trailing\\" back\slash)");
    EXPECT_EQ(
        "first debugger line\nsecond debugger line\nargument <plain>\nargument <with blank>\nargument <>\n"
        "argument <quote\"inside>\nargument <trailing\\>\nargument <back\\slash>\n",
        run.output);
    EXPECT_EQ("", run.errors);
    EXPECT_EQ(7u, run.exitCode);
}

TEST(Dbgrec, MissingOrNoProgramFailsWithItsCodeAndMessage) {
    const std::wstring missing = BinPath(L"no_such_program.exe");
    const struct {
        std::wstring arguments;
        DWORD exitCode;
        std::string errors;
    } cases[] = {
        {Quoted(missing), 127, "dbgrec: cannot start " + Narrow(missing) + ": error 2\n"},
        {L"", 2, "usage: dbgrec PROGRAM [ARGS...]\n"},
    };
    for (const auto& c : cases) {
        const RunResult run = qel::testhost::Run(L"dbgrec.exe", c.arguments);
        EXPECT_EQ(std::make_tuple(c.exitCode, std::string(), c.errors),
                  std::make_tuple(run.exitCode, run.output, run.errors));
    }
}

} // namespace
