// sti_standin.cpp - a stand-in sti.dll for tests: IStillImageW whose device list is a text file beside the
// DLL, "sti-devices.txt", read again at every GetDeviceList. One device a line, "MAJORTYPE INTERNALNAME"
// (1 scanner, 2 camera), for example "1 {6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0001"; a line "FAIL" makes
// GetDeviceList fail with E_FAIL. Adding a line plugs a device in, as far as a program using this DLL can
// tell; Windows would then post WM_DEVICECHANGE (DBT_DEVNODES_CHANGED), which the test posts itself. Each
// GetDeviceList appends a line "GetDeviceList HRESULT" to "sti-calls.txt" beside the DLL, so that a test can
// tell how far a program has got.
//
// Outside a test, `rundll32 PATH\sti.dll,DevNodesChanged` posts that message to every top-level window, as
// Windows does when a device node comes or goes: a script plugs a device in with a line and this.
//
// Only what a program needs to list devices is there; the other methods answer E_NOTIMPL.
#include <initguid.h>
#include <sti.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/standin/beside_this_dll.h"
#include "hosts/standin/com_object.h"

namespace {

struct ListedDevice {
    DWORD majorType;
    std::wstring internalName;
};

// False when the file asks for a failure. A missing file lists no device.
bool ReadDevices(std::vector<ListedDevice>* devices) {
    std::ifstream file(FileBesideThisDll(L"sti-devices.txt").c_str());
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "FAIL")
            return false;
        std::istringstream fields(line);
        DWORD majorType = 0;
        std::string name;
        if (fields >> majorType >> name && name.size() < STI_MAX_INTERNAL_NAME_LENGTH)
            devices->push_back({majorType, std::wstring(name.begin(), name.end())});
    }
    return true;
}

// One LocalAlloc'ed block, as the real one returns, freed by the caller with LocalFree: the records,
// then an empty string for the descriptions this stand-in does not have.
HRESULT ListDevices(DWORD type, DWORD* count, void** buffer) {
    if (!count || !buffer)
        return E_POINTER;
    std::vector<ListedDevice> devices;
    if (!ReadDevices(&devices))
        return E_FAIL;
    std::vector<ListedDevice> wanted;
    for (const ListedDevice& device : devices) {
        if (type == StiDeviceTypeDefault || type == device.majorType)
            wanted.push_back(device);
    }
    const SIZE_T recordsSize = wanted.size() * sizeof(STI_DEVICE_INFORMATIONW);
    auto* block = static_cast<BYTE*>(::LocalAlloc(LPTR, recordsSize + sizeof(WCHAR)));
    if (!block)
        return E_OUTOFMEMORY;
    auto* records = reinterpret_cast<STI_DEVICE_INFORMATIONW*>(block);
    auto* empty = reinterpret_cast<LPWSTR>(block + recordsSize);
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        STI_DEVICE_INFORMATIONW& record = records[i];
        record.dwSize = sizeof record;
        record.DeviceType = wanted[i].majorType << 16;
        std::memcpy(record.szDeviceInternalName, wanted[i].internalName.c_str(),
                    (wanted[i].internalName.size() + 1) * sizeof(WCHAR));
        record.dwHardwareConfiguration = STI_HW_CONFIG_USB;
        record.pszVendorDescription = empty;
        record.pszDeviceDescription = record.szDeviceInternalName;
        record.pszPortName = empty;
        record.pszPropProvider = empty;
        record.pszLocalName = record.szDeviceInternalName;
    }
    *count = static_cast<DWORD>(wanted.size());
    *buffer = block;
    return S_OK;
}

class StillImage final : public Object<IStillImageW> {
public:
    StillImage() : Object(IID_IStillImageW) {}
    STDMETHODIMP Initialize(HINSTANCE, DWORD) override { return S_OK; }

    STDMETHODIMP GetDeviceList(DWORD type, DWORD, DWORD* count, void** buffer) override {
        const HRESULT result = ListDevices(type, count, buffer);
        std::ofstream(FileBesideThisDll(L"sti-calls.txt").c_str(), std::ios::app)
            << "GetDeviceList " << std::hex << static_cast<unsigned long>(result) << '\n';
        return result;
    }

    STDMETHODIMP GetDeviceInfo(LPWSTR, void**) override { return E_NOTIMPL; }
    STDMETHODIMP CreateDevice(LPWSTR, DWORD, PSTIDEVICE*, LPUNKNOWN) override { return E_NOTIMPL; }
    STDMETHODIMP GetDeviceValue(LPWSTR, LPWSTR, LPDWORD, LPBYTE, LPDWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetDeviceValue(LPWSTR, LPWSTR, DWORD, LPBYTE, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetSTILaunchInformation(LPWSTR, DWORD*, LPWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RegisterLaunchApplication(LPWSTR, LPWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP UnregisterLaunchApplication(LPWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP EnableHwNotifications(LPCWSTR, WINBOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetHwNotificationState(LPCWSTR, WINBOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP RefreshDeviceBus(LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP LaunchApplicationForDevice(LPWSTR, LPWSTR, LPSTINOTIFY) override { return E_NOTIMPL; }
    STDMETHODIMP SetupDeviceParameters(PSTI_DEVICE_INFORMATIONW) override { return E_NOTIMPL; }
    STDMETHODIMP WriteToErrorLog(DWORD, LPCWSTR) override { return E_NOTIMPL; }
};

BOOL CALLBACK PostDevNodesChanged(HWND window, LPARAM) {
    ::PostMessageW(window, WM_DEVICECHANGE, 0x0007 /* DBT_DEVNODES_CHANGED */, 0);
    return TRUE;
}

} // namespace

// Exported as StiCreateInstanceW and as StiCreateInstance, the name programs built for Unicode look up.
extern "C" HRESULT WINAPI StiCreateInstanceW(HINSTANCE, DWORD, IStillImageW** out, LPUNKNOWN outer) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    *out = new (std::nothrow) StillImage;
    return *out ? S_OK : E_OUTOFMEMORY;
}

extern "C" void CALLBACK DevNodesChanged(HWND, HINSTANCE, LPSTR, int) {
    ::EnumWindows(&PostDevNodesChanged, 0);
}
