// qelapp.exe - a sample photo application: it records the command line it was started with, one line a
// start, in qelapp-started.txt beside itself, and prints it.
#include <cstdio>
#include <string>

#include "platform/win32/windows_api.h"

int main() {
    const std::wstring commandLine = ::GetCommandLineW();
    wchar_t program[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring log(program, length);
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"qelapp-started.txt";

    const int size = ::WideCharToMultiByte(CP_UTF8, 0, commandLine.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, commandLine.c_str(), -1, text.data(), size, nullptr, nullptr);

    if (FILE* file = ::_wfopen(log.c_str(), L"ab")) {
        std::fprintf(file, "%s\n", text.c_str());
        std::fclose(file);
    }
    std::printf("qelapp started: %s\n", text.c_str());
    return 0;
}
