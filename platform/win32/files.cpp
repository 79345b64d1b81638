// files.cpp - file-system queries of the seam.
#include <vector>

#include "platform/win32/windows_api.h"

namespace qel::os {

bool FileExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

bool IsDirectory(const std::wstring& path) { return ::PathIsDirectoryW(path.c_str()) != FALSE; }

std::wstring RemoveFileSpec(const std::wstring& path) {
    // The call edits its argument in place, so it gets a writable, terminated copy.
    std::vector<wchar_t> buffer(path.begin(), path.end());
    buffer.push_back(L'\0');
    ::PathRemoveFileSpecW(buffer.data());
    return buffer.data();
}

} // namespace qel::os
