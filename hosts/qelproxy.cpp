// qelproxy.exe - a sample application proxy, the program a registration names as its ProxyPath.
//
//   qelproxy.exe                          take control, show the boot window, keep the log-on entry right,
//                                         report the launch status and locale, and wait for WM_QUIT
//   qelproxy.exe --launch-own MODE TYPE ID      the same start, then launch its own application for a
//   qelproxy.exe --launch-default TYPE ID       device (or the default one) and end
//   qelproxy.exe --uninstall              stop the other instances and hand over to another proxy
//   qelproxy.exe --service [N] [--throw-first]
//                                         the same start, then watch for devices: each one is printed and the
//                                         default application launched for it; ends after N devices (default:
//                                         runs until WM_QUIT). --throw-first: the first device's callback
//                                         throws after printing, as a faulty host would
//   --no-control (first)                  skip taking control, so several instances can run
//   qelproxy.exe --help                   the usage (also -h and /?)
//
// Exit code 0; 3 when it may not take control (another proxy has it, or the OEM file forbids running); 2,
// with the usage on standard error, for options it does not know.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "hosts/usage.h"
#include "platform/win32/windows_api.h"
#include "qelboot.h"

namespace {

const char kUsage[] =
    "usage: qelproxy [--no-control] [--service [N] [--throw-first] | --launch-own MODE TYPE ID |\n"
    "                --launch-default TYPE ID | --uninstall | --help]\n"
    "  (no option)                 take control, show the boot window, keep the log-on entry right, wait\n"
    "  --service [N]               also watch for devices and launch the default application for each;\n"
    "                              end after N devices; --throw-first: the first callback throws\n"
    "  --launch-own MODE TYPE ID   launch this proxy's own application for a device, then end\n"
    "  --launch-default TYPE ID    launch the default application for a device, then end\n"
    "  --uninstall                 stop the other instances and hand over to another proxy\n"
    "  --no-control                do not take control, so that several instances can run\n";

// Whether the arguments after --no-control make one of the commands above: a proxy that ignored a mistyped
// one would take control and wait instead of doing what was asked.
bool Understood(const std::vector<std::wstring>& args) {
    if (args.empty())
        return true;
    if (args[0] == L"--uninstall")
        return args.size() == 1;
    if (args[0] == L"--launch-own")
        return args.size() == 4;
    if (args[0] == L"--launch-default")
        return args.size() == 3;
    if (args[0] != L"--service")
        return false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] != L"--throw-first" &&
            (args[i].empty() || args[i].find_first_not_of(L"0123456789") != std::wstring::npos))
            return false;
    }
    return true;
}

LRESULT CALLBACK BootWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Another instance's uninstall sends WM_QUIT straight to this window; it does not end the loop by itself.
    if (message == WM_QUIT) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateBootWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = BootWindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QelProxyBootWindow";
    ::RegisterClassW(&windowClass);
    // Hidden but top-level, so that other processes find it by its title.
    return ::CreateWindowExW(0, windowClass.lpszClassName, L"Quorl Vandrel Boot", WS_OVERLAPPEDWINDOW, 0, 0,
                             100, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text)
        narrow += c < 128 ? static_cast<char>(c) : '?';
    return narrow;
}

// The service's callback runs on a tracker's thread: it reaches the main thread only through these.
DWORD mainThread = 0;
LONG devicesLeft = -1;
bool throwFirst = false;
LONG devicesSeen = 0;

// After the last device the main thread is told to end, however the callback ends.
struct EndAfterLastDevice {
    ~EndAfterLastDevice() {
        if (devicesLeft > 0 && ::InterlockedDecrement(&devicesLeft) == 0)
            ::PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
    }
};

void OnDeviceConnect(std::wstring& devType, std::wstring& devId) {
    EndAfterLastDevice endAfterLast;
    const LONG seen = ::InterlockedIncrement(&devicesSeen);
    std::printf("qelproxy: device %s %s\n", Narrow(devType).c_str(), Narrow(devId).c_str());
    std::fflush(stdout);
    if (throwFirst && seen == 1)
        throw std::runtime_error("the host's callback failed");
    CQELBootCommandHandler launcher;
    launcher.LaunchDefaultQEL(devType, devId);
}

} // namespace

int main() {
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args(argv, argv + count);
    ::LocalFree(argv);
    args.erase(args.begin());
    if (!args.empty() && qel::hosts::AsksForHelp(args.front()))
        return qel::hosts::ShowUsage(kUsage, true);

    bool takeControl = true;
    if (!args.empty() && args.front() == L"--no-control") {
        takeControl = false;
        args.erase(args.begin());
    }
    if (!Understood(args))
        return qel::hosts::ShowUsage(kUsage, false);

    CQELBootCommandHandler handler;
    if (!args.empty() && args.front() == L"--uninstall") {
        handler.Uninstall();
        std::printf("qelproxy: uninstalled\n");
        return 0;
    }
    if (takeControl && !handler.TakeControl()) {
        std::printf("qelproxy: not in control\n");
        return 3;
    }
    const HWND bootWindow = CreateBootWindow();
    handler.MaintainOrder();
    std::wstring locale;
    const bool localeStored = handler.GetQELLocaleString(locale);
    std::printf("qelproxy: in control; launch status %s; locale %s%s\n",
                handler.GetQELLaunchStatus() ? "on" : "off", Narrow(locale).c_str(),
                localeStored ? "" : " (default)");
    std::fflush(stdout);

    if (!args.empty() && args[0] == L"--service") {
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == L"--throw-first")
                throwFirst = true;
            else
                devicesLeft = std::stol(args[i]);
        }
        mainThread = ::GetCurrentThreadId();
        RegisterDeviceConnectCallback(&OnDeviceConnect);
        StartDeviceConnectService();
        std::printf("qelproxy: watching for devices\n");
        std::fflush(stdout);
    }
    if (args.size() == 4 && args[0] == L"--launch-own") {
        handler.LaunchOwnQEL(args[1], args[2], args[3]);
    } else if (args.size() == 3 && args[0] == L"--launch-default") {
        handler.LaunchDefaultQEL(args[1], args[2]);
    } else {
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        std::printf(devicesSeen > 0 ? "qelproxy: done after %ld devices\n"
                                    : "qelproxy: boot window asked to quit\n",
                    devicesSeen);
    }
    if (bootWindow)
        ::DestroyWindow(bootWindow);
    return 0;
}
