// debug_lines_child - a program for dbgrec's tests: two debugger lines, one more for each argument, a line on
// its own standard output, and exit code 7.
#include <cstdio>
#include <string>

#include "platform/win32/windows_api.h"

int wmain(int argc, wchar_t** argv) {
    ::OutputDebugStringW(L"first debugger line\n");
    ::OutputDebugStringW(L"second debugger line");
    for (int i = 1; i < argc; ++i)
        ::OutputDebugStringW((L"argument <" + std::wstring(argv[i]) + L">").c_str());
    std::printf("the child's own output\n");
    return 7;
}
