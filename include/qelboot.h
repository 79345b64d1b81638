// qelboot.h - the interface of qelboot.dll for host programs.
//
// A host includes this header, links the import library and creates a handler object on its own stack. The
// classes are plain, without virtual functions; their only data member is the loaded application list.
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

    std::vector<appInfo_tag> apps;
};

#endif // QELBOOT_H
