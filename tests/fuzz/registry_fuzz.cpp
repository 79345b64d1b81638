// Registrations, preferences, launch status, locale and the sibling's keys holding values of any type and
// size, read through the information handler's operations.
#include "fuzz_input.h"
#include "registry/legacy_sibling.h"

using namespace qel;

namespace {

// An application key below the maker key, from the input: nested, odd or long names. A name of 128
// characters or more directly below the maker key would end its enumeration before the anchor.
std::wstring ApplicationKey(fuzz::Input& in) {
    std::wstring key = L"SOFTWARE\\Quorl\\" + in.Text(100);
    for (int parts = in.Below(3); parts > 0; --parts)
        key += L"\\" + in.Text(in.Bool() ? 8 : 300);
    return key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const os::Hive kHives[] = {os::Hive::LocalMachine, os::Hive::CurrentUser};
    static const wchar_t* const kNames[] = {L"Name",
                                            L"ProxyPath",
                                            L"Desc",
                                            L"CmdLine",
                                            L"Icon",
                                            L"Image",
                                            L"Audio",
                                            L"Video",
                                            L"DefaultFlag",
                                            L"AutoLaunchOnDeviceConnect",
                                            L"qellaunchstatus",
                                            L"locale",
                                            L"SniffDepth",
                                            L"",
                                            L"Action"};
    static const wchar_t* const kLikely[] = {L"C:\\A\\p.exe", L"C:\\A\\a.exe", L"App", L"jpg  png tif",
                                             L"\"C:\\A\\p.exe\""};
    static const wchar_t* const kSubkeys[] = {L"", L"\\File Formats", L"\\Preferences", L"\\.."};
    fuzz::Input in(data, size);
    fuzz::Run run;
    sim::Machine& m = run.m;
    fuzz::AddAnchor(m);
    if (in.Bool()) {
        m.SetSelf(L"C:\\B\\p.exe");
        m.AddFile(L"C:\\B\\p.exe");
    }
    std::vector<std::wstring> keys{L"SOFTWARE\\Quorl\\Anchor", kSiblingInstallKey, kSiblingAutoplayKey,
                                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"};
    for (int count = in.Below(4); count > 0; --count)
        keys.push_back(ApplicationKey(in));
    for (int values = in.Below(40); values > 0 && !in.Done(); --values) {
        const std::wstring& key = keys[in.Below(keys.size())];
        const bool registration =
            key.find(L"Quorl") != std::wstring::npos && key.find(L"Ostrand") == std::wstring::npos;
        const std::wstring path = registration ? key + L"\\Quorl Vandrel" + in.Pick(kSubkeys) : key;
        const os::Hive hive = in.Pick(kHives);
        // The anchor stays readable and listed.
        if (sim::FoldCase(path).rfind(sim::FoldCase(fuzz::kAnchorKey), 0) == 0)
            continue;
        switch (in.Below(6)) {
        case 0:
            m.DenyRead(hive, path);
            break;
        case 1:
            m.DenyWrite(hive, path);
            break;
        default: {
            const std::wstring name = in.Likely(kNames, 20);
            const std::uint32_t type = in.ValueType();
            m.SetValue(hive, path, name, type, in.ValueBytes(in.Pick(kLikely)));
        }
        }
    }
    CQELBootCommandHandler handler;
    std::vector<appInfo_tag> records;
    appInfo_tag record;
    std::wstring text;
    handler.LoadInformation();
    handler.GetAllApplicationInfo(records);
    handler.GetDefaultApplicationInfo(records);
    for (const auto& found : records)
        FUZZ_CHECK(handler.GetApplicationInfo(found.name, record));
    handler.GetOST3Info(record);
    handler.GetQELLaunchStatus();
    handler.SetQELLaunchStatus(in.Number<std::int32_t>());
    handler.GetQELLaunchStatus();
    handler.GetQELLocaleString(text);
    handler.MaintainOrder();
    FUZZ_CHECK(!handler.apps.empty());
    return 0;
}
