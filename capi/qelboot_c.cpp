// The C interface: each function checks its handle and pointers, calls the C++ operation of the same name and
// turns what it gives into a Win32 code and C records.
#include "qelboot_c.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "deviceconnect/notification.h"
#include "platform/os.h"
#include "qelboot.h"

struct QelHandlerObject {
    CQELBootCommandHandler handler;
    // The C views of each loaded record's formats, pointing into `handler.apps`; rebuilt whenever the list is
    // loaded again, and only then, so that records already handed out stay valid until that moment.
    std::vector<std::vector<QelFileFormat>> formats;
    appInfo_tag sibling;
    std::vector<QelFileFormat> siblingFormats;
};

namespace qel {
namespace {

// Every handler made and not yet freed: a handle is used only after it is found here, so a stale or made-up
// one gets a status instead of a crash.
std::mutex liveHandlersLock;
std::set<QelHandlerObject*> liveHandlers;

bool IsLive(QelHandler handler) {
    const std::lock_guard<std::mutex> held(liveHandlersLock);
    return handler && liveHandlers.count(handler) != 0;
}

std::vector<QelFileFormat> FormatViews(const appInfo_tag& record) {
    std::vector<QelFileFormat> views;
    views.reserve(record.fileFormats.size());
    for (const auto& [extension, category] : record.fileFormats)
        views.push_back({extension.c_str(), category.c_str()});
    return views;
}

void FillRecord(const appInfo_tag& record, const std::vector<QelFileFormat>& formats, QelAppInfo& info) {
    info.name = record.name.c_str();
    info.proxyPath = record.proxyPath.c_str();
    info.desc = record.desc.c_str();
    info.cmdLine = record.cmdLine.c_str();
    info.icon = record.icon.c_str();
    info.keyPath = record.keyPath.c_str();
    info.defaultFlag = record.defaultFlag;
    info.fileFormatCount = static_cast<unsigned int>(formats.size());
    info.fileFormats = formats.empty() ? nullptr : formats.data();
}

enum class List { Kept, Reloaded };

// Runs `operation` on a live handler. The C++ operations catch everything of their own; what can still be
// thrown here is running out of memory while copying texts and records.
template <typename Operation> QelStatus WithHandler(QelHandler handler, List list, Operation&& operation) {
    if (!IsLive(handler))
        return os::kInvalidHandle;
    try {
        const QelStatus status = operation(handler->handler);
        if (list == List::Reloaded) {
            handler->formats.clear();
            for (const appInfo_tag& record : handler->handler.apps)
                handler->formats.push_back(FormatViews(record));
        }
        return status;
    } catch (...) {
        handler->formats.clear();
        return os::kNotEnoughMemory;
    }
}

// Copies `text` (which may hold nulls of its own, as a multi-string does) into a caller's buffer.
QelStatus CopyOut(const std::wstring& text, wchar_t* buffer, unsigned int* chars) {
    if (!chars || (!buffer && *chars != 0))
        return os::kInvalidParameter;
    const auto needed = static_cast<unsigned int>(text.size() + 1);
    if (*chars < needed) {
        *chars = needed;
        return os::kInsufficientBuffer;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    *chars = needed - 1;
    return os::kSuccess;
}

std::wstring TextOf(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

} // namespace
} // namespace qel

using qel::List;
using qel::WithHandler;
namespace os = qel::os;

QelStatus QELCALL QelCreateHandler(QelHandler* handler) {
    if (!handler)
        return os::kInvalidParameter;
    try {
        auto made = std::make_unique<QelHandlerObject>();
        const std::lock_guard<std::mutex> held(qel::liveHandlersLock);
        qel::liveHandlers.insert(made.get());
        *handler = made.release();
        return os::kSuccess;
    } catch (...) {
        return os::kNotEnoughMemory;
    }
}

QelStatus QELCALL QelFreeHandler(QelHandler handler) {
    {
        const std::lock_guard<std::mutex> held(qel::liveHandlersLock);
        if (!handler || qel::liveHandlers.erase(handler) == 0)
            return os::kInvalidHandle;
    }
    delete handler;
    return os::kSuccess;
}

QelStatus QELCALL QelLoadInformation(QelHandler handler) {
    return WithHandler(handler, List::Reloaded, [](CQELBootCommandHandler& self) -> QelStatus {
        self.LoadInformation();
        return os::kSuccess;
    });
}

QelStatus QELCALL QelGetApplicationCount(QelHandler handler, unsigned int* count) {
    return WithHandler(handler, List::Kept, [count](CQELBootCommandHandler& self) -> QelStatus {
        if (!count)
            return os::kInvalidParameter;
        *count = static_cast<unsigned int>(self.apps.size());
        return os::kSuccess;
    });
}

QelStatus QELCALL QelGetApplication(QelHandler handler, unsigned int index, QelAppInfo* info) {
    return WithHandler(handler, List::Kept, [&](CQELBootCommandHandler& self) -> QelStatus {
        if (!info || info->size < sizeof(QelAppInfo))
            return os::kInvalidParameter;
        if (index >= self.apps.size() || index >= handler->formats.size())
            return os::kNoMoreItems;
        qel::FillRecord(self.apps[index], handler->formats[index], *info);
        return os::kSuccess;
    });
}

QelStatus QELCALL QelFindApplication(QelHandler handler, const wchar_t* name, unsigned int* index) {
    return WithHandler(handler, List::Kept, [&](CQELBootCommandHandler& self) -> QelStatus {
        if (!name || !index)
            return os::kInvalidParameter;
        for (std::size_t at = 0; at < self.apps.size(); ++at) {
            if (self.apps[at].name == name) {
                *index = static_cast<unsigned int>(at);
                return os::kSuccess;
            }
        }
        return os::kNotFound;
    });
}

QelStatus QELCALL QelGetDefaultApplications(QelHandler handler, unsigned int* indexes, unsigned int* count) {
    return WithHandler(handler, List::Kept, [&](CQELBootCommandHandler& self) -> QelStatus {
        if (!count || (!indexes && *count != 0))
            return os::kInvalidParameter;
        std::vector<unsigned int> defaults;
        for (std::size_t at = 0; at < self.apps.size(); ++at) {
            if (self.apps[at].defaultFlag != 0)
                defaults.push_back(static_cast<unsigned int>(at));
        }
        const unsigned int capacity = *count;
        *count = static_cast<unsigned int>(defaults.size());
        if (capacity < defaults.size())
            return os::kInsufficientBuffer;
        std::copy(defaults.begin(), defaults.end(), indexes);
        return os::kSuccess;
    });
}

QelStatus QELCALL QelGetQELLaunchStatus(QelHandler handler, int* enabled) {
    if (!enabled && qel::IsLive(handler))
        return os::kInvalidParameter;
    return WithHandler(handler, List::Reloaded, [enabled](CQELBootCommandHandler& self) -> QelStatus {
        *enabled = self.GetQELLaunchStatus() ? 1 : 0;
        return os::kSuccess;
    });
}

QelStatus QELCALL QelSetQELLaunchStatus(QelHandler handler, long status) {
    return WithHandler(handler, List::Reloaded, [status](CQELBootCommandHandler& self) -> QelStatus {
        return self.SetQELLaunchStatus(status) ? os::kSuccess : os::kNotFound;
    });
}

QelStatus QELCALL QelGetQELLocaleString(QelHandler handler, wchar_t* locale, unsigned int* chars,
                                        int* stored) {
    if ((!chars || !stored || (!locale && *chars != 0)) && qel::IsLive(handler))
        return os::kInvalidParameter;
    return WithHandler(handler, List::Reloaded, [&](CQELBootCommandHandler& self) -> QelStatus {
        std::wstring text;
        const bool found = self.GetQELLocaleString(text);
        const QelStatus copied = qel::CopyOut(text, locale, chars);
        if (copied == os::kSuccess)
            *stored = found ? 1 : 0;
        return copied;
    });
}

QelStatus QELCALL QelGetOST3Info(QelHandler handler, QelAppInfo* info) {
    return WithHandler(handler, List::Kept, [&](CQELBootCommandHandler& self) -> QelStatus {
        if (!info || info->size < sizeof(QelAppInfo))
            return os::kInvalidParameter;
        appInfo_tag record;
        if (!self.GetOST3Info(record))
            return os::kNotFound;
        handler->sibling = std::move(record);
        handler->siblingFormats = qel::FormatViews(handler->sibling);
        qel::FillRecord(handler->sibling, handler->siblingFormats, *info);
        return os::kSuccess;
    });
}

QelStatus QELCALL QelStartOST3AutoLaunch(QelHandler handler) {
    return WithHandler(handler, List::Kept, [](CQELBootCommandHandler& self) -> QelStatus {
        self.StartOST3AutoLaunch();
        return os::kSuccess;
    });
}

QelStatus QELCALL QelStopOST3AutoLaunch(QelHandler handler) {
    return WithHandler(handler, List::Kept, [](CQELBootCommandHandler& self) -> QelStatus {
        self.StopOST3AutoLaunch();
        return os::kSuccess;
    });
}

QelStatus QELCALL QelMaintainOrder(QelHandler handler) {
    return WithHandler(handler, List::Reloaded, [](CQELBootCommandHandler& self) -> QelStatus {
        self.MaintainOrder();
        return os::kSuccess;
    });
}

QelStatus QELCALL QelUninstall(QelHandler handler) {
    return WithHandler(handler, List::Reloaded, [](CQELBootCommandHandler& self) -> QelStatus {
        self.Uninstall();
        return os::kSuccess;
    });
}

QelStatus QELCALL QelParseCommandLineParameter(QelHandler handler, wchar_t* words, unsigned int* chars) {
    return WithHandler(handler, List::Kept, [&](CQELBootCommandHandler& self) -> QelStatus {
        std::vector<std::wstring> parsed;
        self.ParseCommandLineParameter(parsed);
        std::wstring multi;
        for (const std::wstring& word : parsed) {
            multi += word;
            multi += L'\0';
        }
        return qel::CopyOut(multi, words, chars);
    });
}

QelStatus QELCALL QelSetApplicationDefaultStatus(QelHandler handler, const wchar_t* name,
                                                 const wchar_t* status) {
    return WithHandler(handler, List::Reloaded, [&](CQELBootCommandHandler& self) -> QelStatus {
        if (!name || !status)
            return os::kInvalidParameter;
        std::wstring nameText = name;
        std::wstring statusText = status;
        return self.SetApplicationDefaultStatus(nameText, statusText) ? os::kSuccess : os::kInvalidParameter;
    });
}

QelStatus QELCALL QelLaunchQEL(QelHandler handler, const wchar_t* appPath, const wchar_t* mode,
                               const wchar_t* devType, const wchar_t* devId) {
    return WithHandler(handler, List::Kept, [&](CQELBootCommandHandler& self) -> QelStatus {
        if (!appPath || !mode || !devType)
            return os::kInvalidParameter;
        std::wstring appText = appPath, modeText = mode, typeText = devType, idText = qel::TextOf(devId);
        self.LaunchQEL(appText, modeText, typeText, idText);
        return os::kSuccess;
    });
}

QelStatus QELCALL QelLaunchDefaultQEL(QelHandler handler, const wchar_t* devType, const wchar_t* devId) {
    return WithHandler(handler, List::Reloaded, [&](CQELBootCommandHandler& self) -> QelStatus {
        if (!devType)
            return os::kInvalidParameter;
        std::wstring typeText = devType, idText = qel::TextOf(devId);
        self.LaunchDefaultQEL(typeText, idText);
        return os::kSuccess;
    });
}

QelStatus QELCALL QelLaunchOwnQEL(QelHandler handler, const wchar_t* mode, const wchar_t* devType,
                                  const wchar_t* devId) {
    return WithHandler(handler, List::Reloaded, [&](CQELBootCommandHandler& self) -> QelStatus {
        if (!mode || !devType)
            return os::kInvalidParameter;
        std::wstring modeText = mode, typeText = devType, idText = qel::TextOf(devId);
        self.LaunchOwnQEL(modeText, typeText, idText);
        return os::kSuccess;
    });
}

QelStatus QELCALL QelLaunchOST3Proxy(QelHandler handler, const wchar_t* legacyProxyPath,
                                     const wchar_t* devType, const wchar_t* devId) {
    return WithHandler(handler, List::Kept, [&](CQELBootCommandHandler& self) -> QelStatus {
        if (!legacyProxyPath || !devType)
            return os::kInvalidParameter;
        std::wstring pathText = legacyProxyPath, typeText = devType, idText = qel::TextOf(devId);
        self.LaunchOST3Proxy(pathText, typeText, idText);
        return os::kSuccess;
    });
}

QelStatus QELCALL QelTakeControl(QelHandler handler, int* inControl) {
    if (!inControl && qel::IsLive(handler))
        return os::kInvalidParameter;
    return WithHandler(handler, List::Kept, [inControl](CQELBootCommandHandler& self) -> QelStatus {
        *inControl = self.TakeControl() ? 1 : 0;
        return os::kSuccess;
    });
}

QelStatus QELCALL QelRegisterDeviceConnectCallback(QelDeviceConnectCallback callback, void* context) {
    qel::RegisterCDeviceConnectCallback(callback, context);
    return os::kSuccess;
}

QelStatus QELCALL QelStartDeviceConnectService(void) {
    StartDeviceConnectService();
    return os::kSuccess;
}
