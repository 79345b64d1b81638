/* c_host.c - a host in C that knows the library only through qelboot_c.h: it lists the applications, makes
 * one the default, and waits for devices with a callback that carries its own context.
 *
 * It uses no C runtime and no Windows header, so that any Windows compiler builds it, freestanding or not:
 * the few kernel32 functions it calls are declared below.
 *
 *   c_host.exe [APP NAME]   makes APP NAME the default ("yes"), then reports two devices and ends (exit 0),
 *                           or ends with exit code 1 after a minute without them.
 *
 * It writes "c_host-ready.txt" in its current folder once the service has started.
 */
#include "qelboot_c.h"
#include "win32_values.h"

KERNEL32 void* WINAPI_C GetStdHandle(unsigned long which);
KERNEL32 int WINAPI_C WriteFile(void* file, const void* data, unsigned long size, unsigned long* written,
                                void* overlapped);
KERNEL32 void* WINAPI_C CreateFileW(const wchar_t* name, unsigned long access, unsigned long share,
                                    void* security, unsigned long creation, unsigned long flags, void* model);
KERNEL32 int WINAPI_C CloseHandle(void* handle);
KERNEL32 void WINAPI_C Sleep(unsigned long milliseconds);
KERNEL32 void WINAPI_C ExitProcess(unsigned int code);
KERNEL32 wchar_t* WINAPI_C GetCommandLineW(void);

/* Lines are ASCII: each UTF-16 unit is cut to its low byte, enough for the names of this test machine. */
static void Print(const char* label, const wchar_t* first, const wchar_t* second) {
    char line[600];
    unsigned long length = 0;
    const wchar_t* texts[2];
    int part = 0;
    texts[0] = first;
    texts[1] = second;
    while (*label && length < 100)
        line[length++] = *label++;
    for (part = 0; part < 2; ++part) {
        const wchar_t* text = texts[part];
        if (!text)
            continue;
        line[length++] = ' ';
        while (*text && length < 590)
            line[length++] = (char)*text++;
    }
    line[length++] = '\n';
    WriteFile(GetStdHandle(SAMPLE_STD_OUTPUT_HANDLE), line, length, &length, 0);
}

/* The argument after the program, unquoted: the application to make the default. */
static const wchar_t* Argument(wchar_t* commandLine) {
    wchar_t* at = commandLine;
    wchar_t* start = 0;
    if (*at == L'"') {
        for (++at; *at && *at != L'"'; ++at) {
        }
        if (*at)
            ++at;
    } else {
        while (*at && *at != L' ')
            ++at;
    }
    while (*at == L' ')
        ++at;
    if (*at == L'"') {
        start = ++at;
        while (*at && *at != L'"')
            ++at;
        *at = 0;
        return start;
    }
    return *at ? at : 0;
}

typedef struct Devices {
    unsigned int magic;
    volatile long seen;
} Devices;

static void QELCALL OnDevice(void* context, const wchar_t* devType, const wchar_t* devId) {
    Devices* devices = (Devices*)context;
    Print(devices->magic == 0xC0FFEEu ? "c_host: device" : "c_host: device, with a wrong context", devType,
          devId);
    ++devices->seen;
}

void HostMain(void) {
    static Devices devices = {0xC0FFEEu, 0};
    QelHandler handler = 0;
    unsigned int count = 0, index = 0, defaults[4];
    const wchar_t* name = Argument(GetCommandLineW());
    QelAppInfo info;
    int waited = 0;

    if (QelCreateHandler(&handler) != 0 || QelLoadInformation(handler) != 0 ||
        QelGetApplicationCount(handler, &count) != 0)
        ExitProcess(3);
    for (index = 0; index < count; ++index) {
        info.size = sizeof info;
        if (QelGetApplication(handler, index, &info) == 0)
            Print("c_host: application", info.name, info.cmdLine);
    }
    if (name && QelSetApplicationDefaultStatus(handler, name, L"yes") != 0)
        Print("c_host: could not make the default", name, 0);
    count = 4;
    if (QelGetDefaultApplications(handler, defaults, &count) == 0) {
        for (index = 0; index < count; ++index) {
            info.size = sizeof info;
            if (QelGetApplication(handler, defaults[index], &info) == 0)
                Print("c_host: default", info.name, 0);
        }
    }

    QelRegisterDeviceConnectCallback(&OnDevice, &devices);
    QelStartDeviceConnectService();
    CloseHandle(CreateFileW(L"c_host-ready.txt", SAMPLE_GENERIC_WRITE, 0, 0, SAMPLE_CREATE_ALWAYS, 0, 0));
    for (waited = 0; devices.seen < 2 && waited < 60000; waited += 100)
        Sleep(100);
    QelFreeHandler(handler);
    ExitProcess(devices.seen >= 2 ? 0 : 1);
}

#if __STDC_HOSTED__
/* Built with a C runtime, the program starts as every C program does. */
int main(void) {
    HostMain();
    return 0;
}
#endif
