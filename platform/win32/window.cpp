// window.cpp - finding other processes' top-level windows and sending them messages.
#include <vector>

#include "platform/win32/windows_api.h"

namespace qel::os {
namespace {

// EnumWindows hands one LPARAM to a stdcall callback; this carries the seam's visitor and its parameter.
struct VisitorCall {
    WindowVisitor visit;
    std::intptr_t param;
};

BOOL CALLBACK VisitTopLevelWindow(HWND window, LPARAM lParam) {
    const auto* call = reinterpret_cast<const VisitorCall*>(lParam);
    return call->visit(FromHwnd(window), call->param) ? TRUE : FALSE;
}

} // namespace

void EnumTopLevelWindows(WindowVisitor visit, std::intptr_t param) {
    VisitorCall call{visit, param};
    ::EnumWindows(&VisitTopLevelWindow, reinterpret_cast<LPARAM>(&call));
}

std::wstring WindowTitle(Window window, int maxChars) {
    if (maxChars <= 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(maxChars) + 1, L'\0');
    const int length = ::GetWindowTextW(ToHwnd(window), buffer.data(), maxChars);
    return std::wstring(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::intptr_t SendWindowMessage(Window window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    return ::SendMessageW(ToHwnd(window), message, wParam, lParam);
}

} // namespace qel::os
