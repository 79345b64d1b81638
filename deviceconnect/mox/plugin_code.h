// plugin_code.h - calling into a plug-in module's code under the guard, shared by the plug-in host's files.
#ifndef QELBOOT_DEVICECONNECT_MOX_PLUGIN_CODE_H
#define QELBOOT_DEVICECONNECT_MOX_PLUGIN_CODE_H

#include <cstdint>
#include <string>

#include "platform/os.h"
#include "qelboot_mox.h"

namespace qel {

// Logs that a call into a plug-in raised `code`.
void LogPluginRaised(std::uint32_t code, const wchar_t* slot, const std::wstring& path);

// The calls into one plug-in module's code. Each runs under the guard, so that a fault or a foreign exception
// inside the plug-in ends that call only; a call that raised is logged with the module's file and answers
// false.
class PluginCode {
public:
    explicit PluginCode(const std::wstring& path) : path_(path) {}

    template <typename Call> bool Run(const wchar_t* slot, Call call) {
        const std::uint32_t code =
            os::CallGuarded([](void* context) { (*static_cast<Call*>(context))(); }, &call);
        if (code == 0)
            return true;
        LogPluginRaised(code, slot, path_);
        return false;
    }
    // The module's root object, with a reference for the caller, or null when the module has no entry point
    // or hands out nothing.
    bool Root(os::Module module, IFxBase** root) {
        *root = nullptr;
        const auto main = reinterpret_cast<FxPluginMainFunction>(os::ModuleFunction(module, "FxPluginMain"));
        return !main || Run(L"FxPluginMain", [main, root] { main(root); });
    }
    template <typename Interface> bool Ask(IFxBase* object, std::int32_t number, Interface** out) {
        void* answer = nullptr;
        const bool returned = Run(L"QueryInterface", [&] { object->QueryInterface(number, &answer); });
        *out = returned ? static_cast<Interface*>(answer) : nullptr;
        return returned;
    }
    bool Release(IFxBase* object) {
        return Run(L"Release", [object] { object->Release(); });
    }

private:
    const std::wstring& path_;
};

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_MOX_PLUGIN_CODE_H
