// window.cpp - the library's own windows and their message loops; finding other processes' top-level windows
// and sending them messages.
#include <type_traits>
#include <vector>

#include "platform/win32/windows_api.h"

namespace qel::os {
namespace {

// EnumWindows hands one LPARAM to a stdcall callback; this carries the seam's visitor and its parameter.
struct VisitorCall {
    WindowVisitor visit;
    std::intptr_t param;
};

// WindowProc is WNDPROC with the seam's names: the same convention (QELBOOT_WINAPI is CALLBACK), and
// arguments and result of the same sizes and kinds (a handle-sized value, a 32-bit unsigned message number,
// pointer-sized WPARAM and LPARAM, a pointer-sized LRESULT). So a procedure is registered as it is, and the
// system calls it exactly as the core declared it.
static_assert(std::is_same_v<WindowProc,
                             std::intptr_t(CALLBACK*)(Window, std::uint32_t, std::uintptr_t, std::intptr_t)>);
static_assert(sizeof(Window) == sizeof(HWND) && std::is_unsigned_v<UINT> &&
              sizeof(UINT) == sizeof(std::uint32_t));
static_assert(std::is_unsigned_v<WPARAM> && sizeof(WPARAM) == sizeof(std::uintptr_t));
static_assert(std::is_signed_v<LPARAM> && sizeof(LPARAM) == sizeof(std::intptr_t));
static_assert(std::is_signed_v<LRESULT> && sizeof(LRESULT) == sizeof(std::intptr_t));

WNDPROC ToSystemProcedure(WindowProc proc) {
    // Through a function type without arguments, the one cast the compiler accepts between these types.
    return reinterpret_cast<WNDPROC>(reinterpret_cast<void (*)()>(proc));
}

WindowMessage FromMsg(const MSG& msg) {
    return WindowMessage{FromHwnd(msg.hwnd), msg.message, msg.wParam, msg.lParam};
}

MSG ToMsg(const WindowMessage& message) {
    MSG msg{};
    msg.hwnd = ToHwnd(message.window);
    msg.message = message.message;
    msg.wParam = message.wParam;
    msg.lParam = message.lParam;
    return msg;
}

BOOL CALLBACK VisitTopLevelWindow(HWND window, LPARAM lParam) {
    const auto* call = reinterpret_cast<const VisitorCall*>(lParam);
    return call->visit(FromHwnd(window), call->param) ? TRUE : FALSE;
}

} // namespace

bool RegisterWindowClass(const wchar_t* className, WindowProc proc, Module instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ToSystemProcedure(proc);
    windowClass.hInstance = ToHmodule(instance);
    windowClass.lpszClassName = className;
    return ::RegisterClassExW(&windowClass) != 0;
}

Window CreateTopLevelWindow(const wchar_t* className, const wchar_t* title, std::uint32_t style, int x, int y,
                            int width, int height, Module instance) {
    return FromHwnd(::CreateWindowExW(0, className, title, style, x, y, width, height, nullptr, nullptr,
                                      ToHmodule(instance), nullptr));
}

bool DestroyTopLevelWindow(Window window) { return ::DestroyWindow(ToHwnd(window)) != FALSE; }

WindowProc ReplaceWindowProc(Window window, WindowProc proc) {
    const LONG_PTR previous = ::SetWindowLongPtrW(ToHwnd(window), GWLP_WNDPROC,
                                                  reinterpret_cast<LONG_PTR>(ToSystemProcedure(proc)));
    return reinterpret_cast<WindowProc>(previous);
}

std::intptr_t CallWindowProcedure(WindowProc proc, Window window, std::uint32_t message,
                                  std::uintptr_t wParam, std::intptr_t lParam) {
    return ::CallWindowProcW(ToSystemProcedure(proc), ToHwnd(window), message, wParam, lParam);
}

int GetWindowMessage(WindowMessage* message, Window window, std::uint32_t first, std::uint32_t last) {
    MSG msg;
    const BOOL result = ::GetMessageW(&msg, ToHwnd(window), first, last);
    if (result != -1)
        *message = FromMsg(msg);
    return result;
}

void TranslateWindowMessage(const WindowMessage& message) {
    const MSG msg = ToMsg(message);
    ::TranslateMessage(&msg);
}

std::intptr_t DispatchWindowMessage(const WindowMessage& message) {
    const MSG msg = ToMsg(message);
    return ::DispatchMessageW(&msg);
}

std::intptr_t DefaultWindowProc(Window window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    return ::DefWindowProcW(ToHwnd(window), message, wParam, lParam);
}

bool PostWindowMessage(Window window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return ::PostMessageW(ToHwnd(window), message, wParam, lParam) != FALSE;
}

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
