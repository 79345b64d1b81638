// dbgrec - runs a program under a debugger and prints its debugger output.
//
//   dbgrec PROGRAM [ARGS...]
//
// Each OutputDebugString line of PROGRAM becomes one line on standard output (UTF-8, without the line's own
// trailing newline), and dbgrec ends with PROGRAM's exit code. Standard output carries those lines and
// nothing else: PROGRAM's own standard streams are the null device. When dbgrec cannot start or follow
// PROGRAM it says why on standard error and ends with code 127; without PROGRAM, or with an option of its own
// it does not know (PROGRAM starting with "-"), it shows its usage on standard error and ends with code 2.
// --help (also -h and /?) shows the usage on standard output.
#include <cstdio>
#include <string>
#include <vector>

#include "hosts/usage.h"
#include "hosts/utf8.h"
#include "platform/win32/windows_api.h"

namespace {

constexpr int kFailureExit = 127;

const char kUsage[] = "usage: dbgrec PROGRAM [ARGS...]\n";

// Quotes one argument so that CommandLineToArgvW and the C runtime split it back out unchanged:
// backslashes count only before a quote, so those are doubled, and quotes are escaped.
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

// The program's own name is split by simpler rules, without escapes: quotes around it are enough.
std::wstring CommandLine(int argc, wchar_t** argv) {
    std::wstring line = L"\"" + std::wstring(argv[1]) + L"\"";
    for (int i = 2; i < argc; ++i)
        line += L" " + QuoteArgument(argv[i]);
    return line;
}

std::wstring FromAnsi(const std::string& text) {
    if (text.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

// Reads up to `count` characters of type Char at `address` in `process`, stopping at the first null. The
// reported length may run past the string into memory that cannot be read: then it goes one character at a
// time.
template <typename Char>
std::basic_string<Char> ReadChildString(HANDLE process, const void* address, std::size_t count) {
    if (count == 0)
        return {};
    std::vector<Char> buffer(count);
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, address, buffer.data(), count * sizeof(Char), &read)) {
        std::size_t length = 0;
        const auto* at = static_cast<const Char*>(address);
        while (length < count &&
               ::ReadProcessMemory(process, at + length, &buffer[length], sizeof(Char), &read) &&
               buffer[length] != Char{})
            ++length;
        return std::basic_string<Char>(buffer.data(), length);
    }
    std::size_t length = 0;
    while (length < count && buffer[length] != Char{})
        ++length;
    return std::basic_string<Char>(buffer.data(), length);
}

void PrintLine(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    std::wstring text =
        info.fUnicode
            ? ReadChildString<wchar_t>(process, info.lpDebugStringData, info.nDebugStringLength)
            : FromAnsi(ReadChildString<char>(process, info.lpDebugStringData, info.nDebugStringLength));
    if (!text.empty() && text.back() == L'\n')
        text.pop_back();
    if (!text.empty() && text.back() == L'\r')
        text.pop_back();
    std::printf("%s\n", Utf8(text).c_str());
    // Whoever reads the lines may be waiting for them while the program still runs.
    std::fflush(stdout);
}

// What the program's standard streams are: the null device, inheritable.
HANDLE OpenNullDevice() {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         OPEN_EXISTING, 0, nullptr);
}

// dbgrec's own standard handles stay out of the program and of whatever the program starts: a reader of
// dbgrec's output would otherwise wait for all of them to end.
void KeepOwnStreamsToItself() {
    for (const DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE handle = ::GetStdHandle(which);
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && qel::hosts::AsksForHelp(argv[1]))
        return qel::hosts::ShowUsage(kUsage, true);
    if (argc < 2 || argv[1][0] == L'-')
        return qel::hosts::ShowUsage(kUsage, false);
    KeepOwnStreamsToItself();
    const HANDLE nullDevice = OpenNullDevice();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullDevice;
    startup.hStdOutput = nullDevice;
    startup.hStdError = nullDevice;
    std::wstring commandLine = CommandLine(argc, argv);
    PROCESS_INFORMATION child = {};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                          nullptr, nullptr, &startup, &child)) {
        const DWORD error = ::GetLastError();
        std::fprintf(stderr, "dbgrec: cannot start %s: error %lu\n", Utf8(argv[1]).c_str(),
                     static_cast<unsigned long>(error));
        return kFailureExit;
    }
    ::CloseHandle(nullDevice);

    int exitCode = kFailureExit;
    for (bool childRunning = true; childRunning;) {
        DEBUG_EVENT event = {};
        if (!::WaitForDebugEvent(&event, INFINITE)) {
            std::fprintf(stderr, "dbgrec: lost the program: error %lu\n",
                         static_cast<unsigned long>(::GetLastError()));
            break;
        }
        DWORD continueStatus = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != nullptr)
                ::CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr)
                ::CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            PrintLine(child.hProcess, event.u.DebugString);
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The start-up breakpoint is the debugger's to swallow; every other exception is the program's
            // own to handle, or to die of.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            if (event.dwProcessId == child.dwProcessId) {
                exitCode = static_cast<int>(event.u.ExitProcess.dwExitCode);
                childRunning = false;
            }
            break;
        default:
            break;
        }
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
    }
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    return exitCode;
}
