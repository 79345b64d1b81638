// dbgrec, the debugger-output recorder, run as a real process under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/windows_api.h"

namespace {

struct Outcome {
    DWORD exitCode = 0xDEADBEEF;
    std::string output;
    std::string errors;
};

std::wstring BinPath(const std::wstring& file) {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program(path, length);
    return program.substr(0, program.find_last_of(L'\\') + 1) + file;
}

std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

// Runs dbgrec with this command line after its own name. Its output fits the pipes until it ends.
Outcome RunDbgrec(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outputRead = nullptr;
    HANDLE outputWrite = nullptr;
    HANDLE errorRead = nullptr;
    HANDLE errorWrite = nullptr;
    Outcome outcome;
    if (!::CreatePipe(&outputRead, &outputWrite, &inherit, 0) ||
        !::CreatePipe(&errorRead, &errorWrite, &inherit, 0))
        return outcome;
    ::SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(errorRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outputWrite;
    startup.hStdError = errorWrite;
    std::wstring commandLine =
        L"\"" + BinPath(L"dbgrec.exe") + L"\"" + (arguments.empty() ? L"" : L" ") + arguments;
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::CloseHandle(outputWrite);
    ::CloseHandle(errorWrite);
    if (started) {
        if (::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
            ::GetExitCodeProcess(process.hProcess, &outcome.exitCode);
            outcome.output = ReadAll(outputRead);
            outcome.errors = ReadAll(errorRead);
        } else {
            ::TerminateProcess(process.hProcess, 1);
        }
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    ::CloseHandle(outputRead);
    ::CloseHandle(errorRead);
    return outcome;
}

std::wstring Child() { return L"\"" + BinPath(L"debug_lines_child.exe") + L"\""; }

TEST(Dbgrec, PrintsEachDebuggerLineOnceWithoutItsNewline) {
    const Outcome run = RunDbgrec(Child());
    EXPECT_EQ("first debugger line\r\nsecond debugger line\r\n", run.output);
    EXPECT_EQ("", run.errors);
}

TEST(Dbgrec, EndsWithTheProgramsExitCode) { EXPECT_EQ(7u, RunDbgrec(Child()).exitCode); }

TEST(Dbgrec, KeepsTheProgramsOwnOutputOffItsOutput) {
    const Outcome run = RunDbgrec(Child());
    EXPECT_EQ(std::string::npos, run.output.find("the child's own output"));
    EXPECT_EQ(std::string::npos, run.errors.find("the child's own output"));
}

TEST(Dbgrec, PassesArgumentsOnUnchanged) {
    // Quoted for dbgrec's own command line; dbgrec must quote them again for the program.
    const Outcome run =
        RunDbgrec(Child() + LR"( plain "with blank" "" "quote\"inside" "trailing\\" back\slash)");
    EXPECT_EQ("first debugger line\r\n"
              "second debugger line\r\n"
              "argument <plain>\r\n"
              "argument <with blank>\r\n"
              "argument <>\r\n"
              "argument <quote\"inside>\r\n"
              "argument <trailing\\>\r\n"
              "argument <back\\slash>\r\n",
              run.output);
    EXPECT_EQ(7u, run.exitCode);
}

TEST(Dbgrec, MissingProgramFailsWithCode127AndTheSystemError) {
    const std::wstring missing = BinPath(L"no_such_program.exe");
    const Outcome run = RunDbgrec(L"\"" + missing + L"\"");
    EXPECT_EQ(127u, run.exitCode);
    EXPECT_EQ("", run.output);
    EXPECT_EQ("dbgrec: cannot start " + std::string(missing.begin(), missing.end()) + ": error 2\r\n",
              run.errors);
}

TEST(Dbgrec, NoProgramShowsUsageWithCode2) {
    const Outcome run = RunDbgrec(L"");
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ("", run.output);
    EXPECT_EQ("usage: dbgrec PROGRAM [ARGS...]\r\n", run.errors);
}

} // namespace
