// debug_output.cpp - the library's diagnostic lines go to the debugger output.
#include "platform/win32/windows_api.h"

namespace qel::os {

void DebugOutput(const std::wstring& line) { ::OutputDebugStringW(line.c_str()); }

} // namespace qel::os
