// files.cpp - file-system queries of the seam.
#include "platform/win32/windows_api.h"

namespace qel::os {

bool FileExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

} // namespace qel::os
