// host_runner.h - running this build's host programs from Windows tests, and setting up the registrations
// they see.
#ifndef QELBOOT_TESTS_WINDOWS_HOST_RUNNER_H
#define QELBOOT_TESTS_WINDOWS_HOST_RUNNER_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "hosts/utf8.h"
#include "platform/win32/windows_api.h"

namespace qel::testhost {

// The folder of the running test program, where the hosts and the DLL are built.
std::wstring BinDir();
std::wstring BinPath(const std::wstring& file);

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;             // standard output, CRLF turned into LF
    std::string errors;             // standard error, likewise
    std::vector<std::string> lines; // the output's lines
};

// Runs `program` (a file in BinDir) with `arguments` appended to its quoted path, waits for it and collects
// its standard output.
RunResult Run(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 60000);

// Runs `program` under the debugger-output recorder: the result's lines are the program's debugger lines.
RunResult RunRecordingDebugLines(const std::wstring& program, const std::wstring& arguments,
                                 DWORD timeoutMs = 60000);
// A command line: the quoted full path of a program, and the arguments after it.
std::wstring CommandLine(const std::wstring& path, const std::wstring& arguments);

// A program left running; its standard output is collected until it ends.
class RunningHost {
public:
    // Started in `currentDirectory`, or in BinDir when it is empty.
    RunningHost(const std::wstring& program, const std::wstring& arguments,
                const std::wstring& currentDirectory = {});
    ~RunningHost();
    RunningHost(const RunningHost&) = delete;
    RunningHost& operator=(const RunningHost&) = delete;

    // Waits for the end; false on time-out.
    bool WaitForExit(DWORD timeoutMs);
    bool IsRunning() const;
    DWORD ExitCode() const;
    // What it wrote to standard output and standard error, once it has ended.
    std::string Output();
    std::string Errors();

private:
    static std::string Drain(HANDLE& pipe, std::string& text);
    PROCESS_INFORMATION info_ = {};
    HANDLE outputRead_ = nullptr;
    HANDLE errorRead_ = nullptr;
    std::string output_;
    std::string errors_;
};

// The sample proxy, or the copy of it at `program`, run under the debugger-output recorder in `folder`.
class RecordedProxy : public RunningHost {
public:
    explicit RecordedProxy(const std::wstring& arguments, const std::wstring& folder = {},
                           const std::wstring& program = BinPath(L"qelproxy.exe"))
        : RunningHost(L"dbgrec.exe", CommandLine(program, arguments), folder) {}
    // A newline and the debugger lines, once it has ended, which it must within 20 s.
    std::string Lines() { return WaitForExit(20000) ? "\n" + Output() : "\n(still running after 20 s)\n"; }
};

// Asks `done` every 50 ms until it answers true, for `timeoutMs` at most; its last answer.
template <typename Condition> bool WaitUntil(Condition done, DWORD timeoutMs = 20000) {
    for (DWORD waited = 0; waited < timeoutMs && !done(); waited += 50)
        ::Sleep(50);
    return done();
}

// Waits until a top-level window with this title exists.
bool WaitForWindow(const wchar_t* title, DWORD timeoutMs);
// Waits until a file or folder exists, or no longer does.
bool WaitForFile(const std::wstring& path, bool exists = true);

// The command lines the sample application recorded, once it has started: programs start it without waiting.
std::string StartedApp(DWORD timeoutMs = 15000);

// Sets the Windows version Wine shows one program.
void SetWindowsVersion(const wchar_t* program, const wchar_t* version);

// The registry's maker keys, the log-on entry and the Windows versions set for the hosts, emptied.
void ResetRegistrations();
void SetString(HKEY hive, const std::wstring& path, const wchar_t* name, const std::wstring& text);
void SetDword(HKEY hive, const std::wstring& path, const wchar_t* name, DWORD value);
bool ReadString(HKEY hive, const std::wstring& path, const wchar_t* name, std::wstring* text);
bool ReadDword(HKEY hive, const std::wstring& path, const wchar_t* name, DWORD* value);
void CreateKey(HKEY hive, const std::wstring& path);

// Registers an application below "SOFTWARE\Quorl\<folder>\Quorl Vandrel" with these programs (full paths).
void Register(const std::wstring& folder, const std::wstring& name, const std::wstring& proxyPath,
              const std::wstring& cmdLine);

std::string ReadTextFile(const std::wstring& path);
// Writes `text` into a new file, or after the end of one, shared as another program may be reading it.
void WriteTextFile(const std::wstring& path, const std::string& text, bool append = false);

// How many times `part` stands in `text`, overlapping ones included.
std::size_t Count(const std::string& text, const std::string& part);
// Each part that does not stand in `text` as many times as it should, and the text; empty when all do.
std::string Miscounted(const std::string& text,
                       std::initializer_list<std::pair<std::string, std::size_t>> parts);

std::wstring Quoted(const std::wstring& text);
// The command line the sample application is given: its quoted path and the arguments.
std::string AppLine(const std::string& arguments);
// ... when launched directly for a device, with its newline.
std::string DirectLaunch(const std::string& devType, const std::string& devId);
using Layout = std::vector<std::pair<std::wstring, std::wstring>>;
// A fresh folder below BinDir for a host to run in, and in it copies of files of the build: where each goes,
// and which it is (none: a short text file).
std::wstring MakeRoad(const std::wstring& folder, const Layout& files);

// The roads: the sample proxy and application registered as "Vandrel", and nothing else.
class VandrelRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRegistrations();
        Register(L"Vandrel", L"Vandrel", BinPath(L"qelproxy.exe"), BinPath(L"qelapp.exe"));
    }
    void TearDown() override { ResetRegistrations(); }
};

inline const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

} // namespace qel::testhost

#endif // QELBOOT_TESTS_WINDOWS_HOST_RUNNER_H
