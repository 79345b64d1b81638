/* qelboot_c.h - the C interface of qelboot.dll, for hosts built by any Windows compiler.
 *
 * Everything qelboot.h offers, without C++ types crossing the boundary: a host built with MSVC, clang-cl,
 * clang for *-pc-windows-msvc or mingw-w64 includes this header and links qelboot.lib (MSVC-style linkers) or
 * libqelboot.dll.a (mingw-w64). It needs no C++ runtime of its own and none of the library's.
 *
 * Conventions
 * - Every function uses __stdcall on 32-bit x86 (QELCALL, as WINAPI) and is exported undecorated.
 * - Every function returns a Win32 error code: 0 (ERROR_SUCCESS) or one of those named below. No exception
 *   and no C++ object ever leaves the library.
 * - Text is UTF-16 wchar_t with a terminating null. A null text where one is required gives
 *   ERROR_INVALID_PARAMETER (87), as does a null out-pointer.
 * - A handler is an opaque handle made by QelCreateHandler and ended by QelFreeHandler. A handle that is
 *   null, already freed or never made gives ERROR_INVALID_HANDLE (6). One handler must not be used by two
 *   threads at once; different handlers may.
 * - Caller buffers follow Win32: `*chars` holds the buffer's size in characters on entry. On success it
 *   holds the characters written without the final null; when the buffer is too small the function writes
 *   nothing, sets `*chars` to the size needed (with the null) and returns ERROR_INSUFFICIENT_BUFFER (122).
 * - Records (QelAppInfo) point into the handler's own copy of the list: their texts stay valid until the
 *   handler's list is loaded again (QelLoadInformation, and every function below marked "reloads") or the
 *   handler is freed.
 * - Functions marked "reloads" read the registrations again first, as the C++ operations of the same name
 *   do. QelMaintainOrder, and every function that reloads, ends the calling process with exit code 0 when no
 *   application is registered any more.
 */
#ifndef QELBOOT_C_H
#define QELBOOT_C_H

#include <stddef.h>

#if defined(_WIN32)
#define QELCALL __stdcall
#if defined(QELBOOT_BUILDING_DLL) || defined(QELBOOT_STATIC)
#define QELBOOT_C_API
#else
#define QELBOOT_C_API __declspec(dllimport)
#endif
#else
#define QELCALL
#define QELBOOT_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int QelStatus; /* a Win32 error code */

typedef struct QelHandlerObject* QelHandler;

/* One supported file format of an application: an extension without a dot, and "Image", "Audio" or
 * "Video". */
typedef struct QelFileFormat {
    const wchar_t* extension;
    const wchar_t* category;
} QelFileFormat;

/* One compatible application, as its registration describes it. Set `size` to sizeof(QelAppInfo) before
 * passing it; a smaller size gives ERROR_INVALID_PARAMETER. */
typedef struct QelAppInfo {
    unsigned int size;
    const wchar_t* name;      /* "Name", compared exactly */
    const wchar_t* proxyPath; /* "ProxyPath" */
    const wchar_t* desc;      /* "Desc" */
    const wchar_t* cmdLine;   /* "CmdLine": the application's program */
    const wchar_t* icon;      /* "Icon" */
    const wchar_t* keyPath;   /* the registration key's path below the hive */
    unsigned int defaultFlag; /* non-zero marks a default application */
    unsigned int fileFormatCount;
    const QelFileFormat* fileFormats; /* grouped by category: Image, Audio, Video */
} QelAppInfo;

/* Handlers */
QELBOOT_C_API QelStatus QELCALL QelCreateHandler(QelHandler* handler);
QELBOOT_C_API QelStatus QELCALL QelFreeHandler(QelHandler handler);

/* The application list. QelLoadInformation rebuilds it from the registry; the others read it as last
 * loaded. QelGetApplication gives ERROR_NO_MORE_ITEMS (259) past the end, so a host can loop until then. */
QELBOOT_C_API QelStatus QELCALL QelLoadInformation(QelHandler handler);
QELBOOT_C_API QelStatus QELCALL QelGetApplicationCount(QelHandler handler, unsigned int* count);
QELBOOT_C_API QelStatus QELCALL QelGetApplication(QelHandler handler, unsigned int index, QelAppInfo* info);
/* The index of the application named exactly `name`; ERROR_NOT_FOUND (1168) when there is none. */
QELBOOT_C_API QelStatus QELCALL QelFindApplication(QelHandler handler, const wchar_t* name,
                                                   unsigned int* index);
/* The indexes of the default applications, in list order. `*count` is the capacity of `indexes` on entry
 * (`indexes` may be null when it is 0) and the number of defaults on return; ERROR_INSUFFICIENT_BUFFER when
 * they did not fit, and then nothing is written. */
QELBOOT_C_API QelStatus QELCALL QelGetDefaultApplications(QelHandler handler, unsigned int* indexes,
                                                          unsigned int* count);

/* The calling proxy's own application (each reloads). `*enabled` is its per-user launch switch: 1 unless it
 * is stored as 0. QelSetQELLaunchStatus gives ERROR_NOT_FOUND when the calling program is no registered
 * proxy or its switch cannot be written. QelGetQELLocaleString writes the locale, "en_us" when none is
 * stored, and sets `*stored` to whether one was. */
QELBOOT_C_API QelStatus QELCALL QelGetQELLaunchStatus(QelHandler handler, int* enabled);
QELBOOT_C_API QelStatus QELCALL QelSetQELLaunchStatus(QelHandler handler, long status);
QELBOOT_C_API QelStatus QELCALL QelGetQELLocaleString(QelHandler handler, wchar_t* locale,
                                                      unsigned int* chars, int* stored);

/* The older sibling application. Its record stays valid until the next QelGetOST3Info on this handler;
 * ERROR_NOT_FOUND when it is not installed. */
QELBOOT_C_API QelStatus QELCALL QelGetOST3Info(QelHandler handler, QelAppInfo* info);
QELBOOT_C_API QelStatus QELCALL QelStartOST3AutoLaunch(QelHandler handler);
QELBOOT_C_API QelStatus QELCALL QelStopOST3AutoLaunch(QelHandler handler);

/* Reloads the list and keeps the log-on entry pointing at the calling proxy or the first registered one. */
QELBOOT_C_API QelStatus QELCALL QelMaintainOrder(QelHandler handler);
/* Stops the other running instances of the calling program and hands log-on start to another proxy. */
QELBOOT_C_API QelStatus QELCALL QelUninstall(QelHandler handler);

/* The command words of this process's command line ("-install", "-uninstall", or "-default", a name and
 * "yes" or "no"), each followed by a null, and one more null after the last (as REG_MULTI_SZ). */
QELBOOT_C_API QelStatus QELCALL QelParseCommandLineParameter(QelHandler handler, wchar_t* words,
                                                             unsigned int* chars);
/* Makes the named application the only default ("yes") or takes its default status away ("no"); reloads.
 * ERROR_INVALID_PARAMETER, after a message on the console, when the name is not registered or the status is
 * neither word. */
QELBOOT_C_API QelStatus QELCALL QelSetApplicationDefaultStatus(QelHandler handler, const wchar_t* name,
                                                               const wchar_t* status);

/* Launching for a device. `devId` may be null, meaning none. QelLaunchDefaultQEL and QelLaunchOwnQEL
 * reload. */
QELBOOT_C_API QelStatus QELCALL QelLaunchQEL(QelHandler handler, const wchar_t* appPath, const wchar_t* mode,
                                             const wchar_t* devType, const wchar_t* devId);
QELBOOT_C_API QelStatus QELCALL QelLaunchDefaultQEL(QelHandler handler, const wchar_t* devType,
                                                    const wchar_t* devId);
QELBOOT_C_API QelStatus QELCALL QelLaunchOwnQEL(QelHandler handler, const wchar_t* mode,
                                                const wchar_t* devType, const wchar_t* devId);
QELBOOT_C_API QelStatus QELCALL QelLaunchOST3Proxy(QelHandler handler, const wchar_t* legacyProxyPath,
                                                   const wchar_t* devType, const wchar_t* devId);

/* `*inControl` is 1 when the calling proxy is now the single one in control. */
QELBOOT_C_API QelStatus QELCALL QelTakeControl(QelHandler handler, int* inControl);

/* The host's function told of each arriving device, with the context it was registered with. It runs as
 * qelboot.h's DeviceConnectCallback does: on the tracker's thread, one device at a time, with the service's
 * lock held, so it must neither pump messages nor block for long. The texts live only for the call. */
typedef void(QELCALL* QelDeviceConnectCallback)(void* context, const wchar_t* devType, const wchar_t* devId);

/* Replaces the registered callback, the C++ one included (there is one slot for both); null turns
 * notifications off. */
QELBOOT_C_API QelStatus QELCALL QelRegisterDeviceConnectCallback(QelDeviceConnectCallback callback,
                                                                 void* context);
/* Starts watching for devices on background threads, once per process; later calls do nothing. */
QELBOOT_C_API QelStatus QELCALL QelStartDeviceConnectService(void);

#ifdef __cplusplus
}
#endif

#endif /* QELBOOT_C_H */
