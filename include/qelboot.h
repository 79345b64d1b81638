// qelboot.h - the interface of qelboot.dll for host programs.
//
// A host includes this header, links the import library and creates a handler object on its own stack. The
// classes are plain, without virtual functions; their only data member is the loaded application list. The
// interface passes standard C++ strings and containers, so a host is built with the same mingw-w64 toolchain
// and shares the library's C++, GCC and thread runtime DLLs.
#ifndef QELBOOT_H
#define QELBOOT_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#if defined(QELBOOT_BUILDING_DLL)
#define QELBOOT_API __declspec(dllexport)
#elif defined(QELBOOT_STATIC)
#define QELBOOT_API
#else
#define QELBOOT_API __declspec(dllimport)
#endif
#else
#define QELBOOT_API __attribute__((visibility("default")))
#endif

// One compatible application, as its registration describes it. The field order is part of the interface:
// hosts receive records by value inside a std::vector.
struct appInfo_tag {
    std::wstring name;      // "Name": the key by which applications are looked up, compared exactly
    std::wstring proxyPath; // "ProxyPath": the proxy program that loads this library for the application
    std::wstring desc;      // "Desc"
    std::wstring cmdLine;   // "CmdLine": the application's program
    std::wstring icon;      // "Icon": a file path, optionally followed by ", " and a resource index
    std::wstring keyPath;   // the registration key's path below the hive
    std::uint32_t defaultFlag = 0; // non-zero marks a default application
    std::uint32_t reserved = 0;    // always 0
    // (extension without a dot, category "Image", "Audio" or "Video"), grouped by category in that order
    std::vector<std::pair<std::wstring, std::wstring>> fileFormats;
};

// The list of compatible applications registered on this machine.
class QELBOOT_API CQELBootInformationHandler {
public:
    // Rebuilds the list from the registry: every registration whose programs exist and that may be launched
    // when a device connects.
    void LoadInformation();

    // Replaces `out` with the loaded list. Always true.
    bool GetAllApplicationInfo(std::vector<appInfo_tag>& out);

    // Appends every default application of the loaded list to `out`, keeping what `out` held. True unless
    // memory ran out.
    bool GetDefaultApplicationInfo(std::vector<appInfo_tag>& out) const;

    // Finds the application whose name equals `name` exactly. `out` is left untouched when there is none.
    bool GetApplicationInfo(const std::wstring& name, appInfo_tag& out) const;

    // The calling proxy's own application: its per-user launch switch (true unless it is stored as 0) and
    // its locale ("en_us" unless one is stored; the result says whether one was).
    bool GetQELLaunchStatus();
    bool SetQELLaunchStatus(long status);
    bool GetQELLocaleString(std::wstring& locale);

    // The older sibling application, which has no registration of its own: its record (false when it is not
    // installed), and switching its own launching on device arrival on and off.
    bool GetOST3Info(appInfo_tag& out);
    void StartOST3AutoLaunch();
    void StopOST3AutoLaunch();

    // Reloads the list and points the log-on entry at the calling proxy, or at the first registered one.
    // When no application is registered any more, hands launching back to the sibling and ends the process
    // with exit code 0.
    void MaintainOrder();

    // Stops the other running instances of the calling program and hands log-on start to another
    // application's proxy.
    void Uninstall();

    std::vector<appInfo_tag> apps;
};

// The boot executable's and the proxies' operations: the command line, default selection, taking control
// and launching. It adds no data to the list it derives from.
class QELBOOT_API CQELBootCommandHandler : public CQELBootInformationHandler {
public:
    // Appends the command words of this process's command line: "-install" (also when there are no
    // arguments), "-uninstall", or "-default", the application name and "yes" or "no".
    void ParseCommandLineParameter(std::vector<std::wstring>& words);

    // Makes the named application the only default ("yes") or takes its default status away ("no"), for
    // the user and the machine. False after a message on the console.
    bool SetApplicationDefaultStatus(std::wstring& name, std::wstring& status);

    // Starts the application program `appPath` for a device (`devId` may be empty) in mode "direct" or
    // "select".
    void LaunchQEL(std::wstring& appPath, std::wstring& mode, std::wstring& devType, std::wstring& devId);
    // Starts the default application, or the first one, choosing the mode.
    void LaunchDefaultQEL(std::wstring& devType, std::wstring& devId);
    // Starts the application whose proxy the calling process is.
    void LaunchOwnQEL(std::wstring& mode, std::wstring& devType, std::wstring& devId);
    // Starts a program of the sibling application for a device.
    void LaunchOST3Proxy(std::wstring& legacyProxyPath, std::wstring& devType, std::wstring& devId);

    // True when the calling proxy is now the single one in control.
    bool TakeControl();
};

// The host's function that is told about each arriving device: its type ("volume", "camera", "scanner",
// "mobile", "video", "audio", "archive" or "unknown") and its identifier ("E:" for a volume). It runs on the
// thread of the tracker that found the device, with the service's lock held, one device at a time; the
// strings live only for the call.
//
// While it runs, that tracker hears of nothing and every other tracker's device waits for the lock. So it
// must not pump messages: a message box or a modal dialog runs a message loop on the tracker's thread, and a
// SendMessage to another thread's window takes in the messages sent to this thread meanwhile; either hands
// the tracker its own window's messages and so enters it again from inside the call. Nor may it block for
// long. A host hands the device to a thread of its own (PostThreadMessage, PostMessage) and returns.
typedef void (*DeviceConnectCallback)(std::wstring& devType, std::wstring& devId);

// Replaces the registered callback; null turns notifications off. Devices found while none is registered are
// not remembered. The callback is called as DeviceConnectCallback describes.
QELBOOT_API void RegisterDeviceConnectCallback(DeviceConnectCallback callback);

// Starts watching for devices on background threads and returns at once. Call it once per process; later
// calls are ignored. The threads run until the process ends, so the library then stays loaded: a host that
// loaded it with LoadLibrary may free it, but its code is not unloaded.
QELBOOT_API void StartDeviceConnectService();

#endif // QELBOOT_H
